// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#include "pipeline/wav_to_mp3.h"

#include "acm/ACMConvertor.h"
#include "common/exception.h"
#include "common/file_names.h"
#include "pipeline/conversion_host.h"
#include "pipeline/encoder_stream.h"
#include "pipeline/mp3_choices.h"
#include "pipeline/sample_gain.h"
#include "pipeline/wav_header.h"

#include <QFile>

#include <cstring>

namespace {

// Whatever way the stage is left: the convertor inactive (the header's source length back at
// its prepared value first), the file closed.
class StageState {
public:
    StageState(TACMConvertor& convertor, QFile& temporary) : wavtowav(convertor), file(temporary) {}
    ~StageState() {
        if (wavtowav.Active()) {
            wavtowav.StreamHeader.cbSrcLength = wavtowav.InputBufferSize();
            // Only reached when an error is already on its way out; that error is the one
            // to report, so a failure to close here is dropped.
            try {
                wavtowav.SetActive(false);
            } catch (const std::exception&) {
            }
        }
        file.close();
    }
    StageState(const StageState&) = delete;
    StageState& operator=(const StageState&) = delete;

private:
    TACMConvertor& wavtowav;
    QFile& file;
};

void setUpConvertor(TACMConvertor& convertor, const WAVEFORMATEX& format) {
    std::memcpy(&convertor.ACMFormatIn.header, &format, sizeof(WAVEFORMATEX));
    WAVEFORMATEX& out = convertor.ACMFormatOut.header;
    std::memcpy(&out, &convertor.ACMFormatIn.header, sizeof(WAVEFORMATEX));
    out.nChannels = kEncoderInputChannels;
    out.nSamplesPerSec = kEncoderInputRate;
    out.wBitsPerSample = kEncoderInputBits;
    out.nBlockAlign = static_cast<std::uint16_t>(out.nChannels * out.wBitsPerSample / 8);
    out.nAvgBytesPerSec = out.nSamplesPerSec * out.nChannels * out.wBitsPerSample / 8;
    out.cbSize = 0;
    // 4096 source sample frames per block.
    convertor.SetInputBufferSize(std::uint32_t{convertor.ACMFormatIn.header.nBlockAlign} << 12);
}

[[noreturn]] void readFailed(const QFile& file) {
    throw EInOutError(QStringLiteral("Die temporäre Datei %1 konnte nicht gelesen werden: %2")
                          .arg(visibleName(file.fileName()), file.errorString())
                          .toStdString());
}

} // namespace

StageResult EncodeWavToMp3(StageContext& context, const QString& fileName) {
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly) && !file.open(QIODevice::ReadOnly))
        return {};
    return EncodeWavToMp3(context, file);
}

StageResult EncodeWavToMp3(StageContext& context, QFile& file) {
    StageResult result;
    TACMConvertor& convertor = context.wavtowav;
    StageState state(convertor, file);
    if (!file.seek(0))
        readFailed(file);

    WavHeaderInfo info{};
    if (!ReadWavHeader(file, info)) {
        context.host.showErrorMessage(QStringLiteral("Keine gültige WAV-Datei!!!!"));
        return result;
    }
    result.validWav = true;
    // The stated size is trusted only as far as the file reaches.
    std::int64_t remaining = info.DataSize;
    const std::int64_t available = std::max<std::int64_t>(file.size() - info.DataOffset, 0);
    if (available < remaining)
        remaining = available;
    if (!file.seek(info.DataOffset))
        remaining = 0;

    setUpConvertor(convertor, info.Format);
    try {
        convertor.SetActive(true);
    } catch (const EACMConvertor& error) {
        throw EFormatNotConvertible(error.what());
    }
    SampleGain* const gain = context.gain && info.Format.wFormatTag == WAVE_FORMAT_PCM &&
                                     info.Format.wBitsPerSample == 16
                                 ? context.gain
                                 : nullptr;
    const double bytesPerSecond = info.Format.nAvgBytesPerSec;
    const auto secondsOf = [bytesPerSecond](std::int64_t bytes) {
        return bytesPerSecond > 0 ? bytes / bytesPerSecond : 0;
    };

    std::int64_t total = 0;
    std::int64_t taken = 0;
    std::uint32_t blockCount = 0;
    while (remaining > 0) {
        // The block that leaves nothing behind carries the end flag, an exactly filled one
        // too, so the resampler hands out its tail before the next source begins.
        const bool last = remaining <= convertor.InputBufferSize();
        const auto length =
            static_cast<std::uint32_t>(last ? remaining : convertor.InputBufferSize());
        const qint64 got = file.read(reinterpret_cast<char*>(convertor.InputBuffer.get()), length);
        // The file was measured above: less than that is a failing disk or a file cut under us.
        if (got < 0)
            readFailed(file);
        if (got < length)
            throw EInOutError("Read beyond end of file");
        if (gain)
            gain->apply(reinterpret_cast<std::int16_t*>(convertor.InputBuffer.get()), length / 2);
        remaining -= length;
        total += length;
        ++blockCount;
        if (blockCount % 10 == 0) {
            context.host.TrimProgressLog();
            context.host.AddProgressLine(QString::number(total) +
                                         QStringLiteral(" Samples konvertiert..."));
            context.pump(secondsOf(taken));
        }

        const AcmBlockResult block = convertor.ConvertBlock(length, last);
        if (block.taken < length) {
            file.seek(file.pos() - (length - block.taken));
            remaining += length - block.taken;
        }
        taken += block.taken;
        // A block that failed to convert holds nothing reliable; it is counted, not encoded.
        if (block.result == MMSYSERR_NOERROR)
            context.stream.EncodeChunk(convertor.OutputBuffer.get(), block.produced);
        else
            ++result.lostBlocks;
        context.pump(secondsOf(taken));
    }
    result.seconds = secondsOf(taken);

    convertor.FinishConversion();
    convertor.SetActive(false);
    return result;
}
