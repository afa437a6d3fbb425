#include "pipeline/wav_to_mp3.h"

#include "acm/ACMConvertor.h"
#include "pipeline/conversion_host.h"
#include "pipeline/encoder_stream.h"
#include "pipeline/wav_header.h"

#include <QFile>

#include <cstring>

namespace {

enum class BlockState { First, Middle, Last };

// Whatever way the stage is left: the header's source length back at its prepared value, the
// convertor inactive, the file closed, the buttons idle.
class StageState {
public:
    StageState(ConversionHost& conversionHost, QFile& temporary)
        : host(conversionHost), file(temporary) {
        host.setButtonsBusy(true);
    }
    ~StageState() {
        TACMConvertor& convertor = host.wavtowav();
        if (convertor.Active()) {
            convertor.StreamHeader.cbSrcLength = convertor.InputBufferSize();
            // Only reached when an error is already on its way out; that error is the one
            // to report, so a failure to close here is dropped.
            try {
                convertor.SetActive(false);
            } catch (const std::exception&) {
            }
        }
        file.close();
        host.setButtonsBusy(false);
    }
    StageState(const StageState&) = delete;
    StageState& operator=(const StageState&) = delete;

private:
    ConversionHost& host;
    QFile& file;
};

void setUpConvertor(TACMConvertor& convertor, const WAVEFORMATEX& format) {
    std::memcpy(&convertor.ACMFormatIn.header, &format, sizeof(WAVEFORMATEX));
    WAVEFORMATEX& out = convertor.ACMFormatOut.header;
    std::memcpy(&out, &convertor.ACMFormatIn.header, sizeof(WAVEFORMATEX));
    out.nChannels = 2;
    out.nSamplesPerSec = 44100;
    out.wBitsPerSample = 16;
    out.nBlockAlign = static_cast<std::uint16_t>(out.nChannels * out.wBitsPerSample / 8);
    out.nAvgBytesPerSec = out.nSamplesPerSec * out.nChannels * out.wBitsPerSample / 8;
    out.cbSize = 0;
    // 4096 source sample frames per block.
    convertor.SetInputBufferSize(std::uint32_t{convertor.ACMFormatIn.header.nBlockAlign} << 12);
}

} // namespace

void EncodeWavToMp3(ConversionHost& host, EncoderStream& stream, const QString& fileName) {
    QFile file(fileName);
    StageState state(host, file);
    if (!file.open(QIODevice::ReadOnly) && !file.open(QIODevice::ReadOnly))
        return;

    WavHeaderInfo info{};
    if (!ReadWavHeader(file, info)) {
        host.showErrorMessage(QStringLiteral("Keine gültige WAV-Datei!!!!"));
        return;
    }
    // The stated size is trusted only as far as the file reaches.
    std::int64_t remaining = info.DataSize;
    const std::int64_t available = std::max<std::int64_t>(file.size() - info.DataOffset, 0);
    if (available < remaining)
        remaining = available;
    if (!file.seek(info.DataOffset))
        remaining = 0;

    TACMConvertor& convertor = host.wavtowav();
    setUpConvertor(convertor, info.Format);
    convertor.SetActive(true);
    ACMSTREAMHEADER& header = convertor.StreamHeader;
    AcmLibrary& acm = convertor.library();

    BlockState block = BlockState::First;
    std::int64_t total = 0;
    std::uint32_t blockCount = 0;
    while (remaining > 0) {
        std::uint32_t length = convertor.InputBufferSize();
        // The block that leaves nothing behind carries the end flag, an exactly filled one
        // too, so the resampler hands out its tail before the next source begins.
        if (remaining <= length) {
            length = static_cast<std::uint32_t>(remaining);
            block = BlockState::Last;
        }
        const qint64 got = file.read(reinterpret_cast<char*>(convertor.InputBuffer.get()), length);
        if (got <= 0)
            break;
        if (got < length) {
            // The file shrank under us: convert what arrived as the end.
            length = static_cast<std::uint32_t>(got);
            block = BlockState::Last;
            remaining = length;
        }
        remaining -= length;
        total += length;
        ++blockCount;
        header.cbSrcLength = length;
        header.cbSrcLengthUsed = length;
        if (blockCount % 10 == 0) {
            host.TrimProgressLog();
            host.AddProgressLine(QString::number(total) +
                                 QStringLiteral(" Samples konvertiert..."));
            host.processEvents();
        }

        const DWORD flags = block == BlockState::First  ? ACM_STREAMCONVERTF_START
                            : block == BlockState::Last ? ACM_STREAMCONVERTF_END
                                                        : 0;
        bool converted = true;
        try {
            convertor.CheckAcmResult(QStringLiteral("acmStreamConvert:"),
                                     acm.acmStreamConvert(convertor.StreamHandle, &header, flags));
        } catch (const EACMConvertor&) {
            // A block that fails to convert is skipped; its output holds nothing reliable.
            converted = false;
        }
        if (header.cbSrcLengthUsed != length && header.cbSrcLengthUsed != 0) {
            const std::uint32_t leftOver = length - std::min(header.cbSrcLengthUsed, length);
            file.seek(file.pos() - leftOver);
            remaining += leftOver;
        }
        if (converted)
            stream.EncodeChunk(convertor.OutputBuffer.get(), header.cbDstLengthUsed);
        if (block != BlockState::Last)
            block = BlockState::Middle;
        host.processEvents();
    }

    header.cbSrcLength = convertor.InputBufferSize();
    convertor.CheckAcmResult(QStringLiteral("acmStreamReset"),
                             acm.acmStreamReset(convertor.StreamHandle, 0));
    convertor.SetActive(false);
}
