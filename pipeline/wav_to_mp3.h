#pragma once

#include <QString>

class ConversionHost;
class EncoderStream;

// Converts one decoded WAV file to 44100 Hz 16-bit stereo with the host's format convertor and
// feeds it to the run's encoder stream.
void EncodeWavToMp3(ConversionHost& host, EncoderStream& stream, const QString& fileName);
