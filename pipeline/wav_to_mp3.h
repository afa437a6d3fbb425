// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#pragma once

#include "acm/ACMConvertor.h"

#include <QString>

#include <cstdint>
#include <functional>

class ConversionHost;
class EncoderStream;
class QFile;
class SampleGain;

// What the stage works with, lent by the conversion job for one call.
struct StageContext {
    ConversionHost& host;    // the progress log and the error box
    TACMConvertor& wavtowav; // the run's format convertor
    EncoderStream& stream;   // the run's MP3 encoder stream
    // Pumps the messages; told how many seconds of the file have gone into the stream so far.
    std::function<void(double seconds)> pump;
    // Given to the file's samples as they are read, before the conversion; 16-bit PCM only.
    SampleGain* gain = nullptr;
};

// What one call did.
struct StageResult {
    bool validWav = false;        // the file could be opened and read as a WAV file
    double seconds = 0;           // of sound handed to the encoder
    std::uint32_t lostBlocks = 0; // blocks the convertor failed on, missing from the MP3 stream
};

// The convertor cannot take the file's sound format (a rate out of its range): nothing of the
// file was encoded. The message is the convertor's.
class EFormatNotConvertible : public EACMConvertor {
public:
    using EACMConvertor::EACMConvertor;
};

// Converts one decoded WAV file to 44100 Hz 16-bit stereo with the run's format convertor and
// feeds it to the run's encoder stream. Raises EInOutError when the file cannot be read to the
// end, and passes on the convertor's and the encoder's errors.
StageResult EncodeWavToMp3(StageContext& context, const QString& fileName);
// The same on a file already open for reading, read from its start; closes it.
StageResult EncodeWavToMp3(StageContext& context, QFile& file);
