// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#include "acm/ACMConvertor.h"

#include <QtEndian>

#include <cstring>

namespace {

// Beyond its 18-byte header a non-PCM format carries cbSize bytes, which must stay inside the slot.
constexpr std::uint16_t kExtraRoom = kFormatSlotSize - sizeof(WAVEFORMATEX);

void setDefaultFormat(AudioFormatRecord& record) {
    record = {};
    record.header.wFormatTag = WAVE_FORMAT_PCM;
    record.header.nChannels = 1;
    record.header.nSamplesPerSec = 22050;
    record.header.nAvgBytesPerSec = 22050;
    record.header.nBlockAlign = 1;
    record.header.wBitsPerSample = 8;
    record.header.cbSize = kFormatSlotSize;
}

void checkFits(const char* name, const AudioFormatRecord& record) {
    if (record.header.wFormatTag != WAVE_FORMAT_PCM && record.header.cbSize > kExtraRoom) {
        throw EACMConvertor(QString("%1: the format's extra data (cbSize %2) does not fit its "
                                    "record of %3 bytes.")
                                .arg(name)
                                .arg(record.header.cbSize)
                                .arg(kFormatSlotSize)
                                .toStdString());
    }
}

} // namespace

TACMConvertor::TACMConvertor(AcmLibrary& library, QObject* owner) : QObject(owner), acm(library) {
    setDefaultFormat(ACMFormatIn);
    setDefaultFormat(ACMFormatOut);
    StreamHandle = nullptr;
    SetInputBufferSize(2048);
    SetUseRealTime(false);
}

TACMConvertor::~TACMConvertor() {
    if (!active)
        return;
    try {
        SetActive(false);
    } catch (const EACMConvertor&) {
        // Nobody can be told of a failure here: drop it, but still close the stream so that it
        // does not outlive the component.
        acm.acmStreamClose(StreamHandle, 0);
    }
}

void TACMConvertor::SetActive(bool value) {
    if (value == active)
        return;
    if (value)
        OpenStream();
    else
        CloseStream();
}

void TACMConvertor::SetInputBufferSize(std::uint32_t size) {
    if (active)
        throw EACMConvertor("You cannot change the buffer size while active.");
    inputBufferSize = size;
}

void TACMConvertor::SetUseRealTime(bool realTime) {
    if (active)
        throw EACMConvertor("You cannot change the real time flag while active.");
    useRealTime = realTime;
}

void TACMConvertor::OpenStream() {
    // A record the manager would read past is refused before anything is opened.
    checkFits("ACMFormatIn", ACMFormatIn);
    checkFits("ACMFormatOut", ACMFormatOut);

    const DWORD flags = useRealTime ? 0 : ACM_STREAMOPENF_NONREALTIME;
    CheckAcmResult("acmStreamOpen:", acm.acmStreamOpen(&StreamHandle, nullptr, &ACMFormatIn.header,
                                                       &ACMFormatOut.header, nullptr, 0, 0, flags));
    try {
        CheckAcmResult("acmStreamSize:",
                       acm.acmStreamSize(StreamHandle, inputBufferSize, &OutputBufferSize,
                                         ACM_STREAMSIZEF_SOURCE));
        InputBuffer = std::make_unique_for_overwrite<std::uint8_t[]>(inputBufferSize);
        OutputBuffer = std::make_unique_for_overwrite<std::uint8_t[]>(OutputBufferSize);

        StreamHeader.cbStruct = sizeof(ACMSTREAMHEADER);
        StreamHeader.fdwStatus = 0;
        StreamHeader.dwUser = 0;
        StreamHeader.pbSrc = InputBuffer.get();
        StreamHeader.cbSrcLength = inputBufferSize;
        StreamHeader.cbSrcLengthUsed = 0;
        StreamHeader.dwSrcUser = 0;
        StreamHeader.pbDst = OutputBuffer.get();
        StreamHeader.cbDstLength = OutputBufferSize;
        StreamHeader.cbDstLengthUsed = 0;
        StreamHeader.dwDstUser = 0;
        CheckAcmResult("acmStreamPrepareHeader:",
                       acm.acmStreamPrepareHeader(StreamHandle, &StreamHeader, 0));
    } catch (...) {
        // The stream is open already: close it so that a failed activation leaves nothing
        // behind. The first failure is the one to report.
        InputBuffer.reset();
        OutputBuffer.reset();
        acm.acmStreamClose(StreamHandle, 0);
        throw;
    }
    active = true;
    started = false;
}

AcmBlockResult TACMConvertor::ConvertBlock(std::uint32_t length, bool last) {
    const DWORD flags = last ? ACM_STREAMCONVERTF_END : started ? 0 : ACM_STREAMCONVERTF_START;
    started = true;
    StreamHeader.cbSrcLength = length;
    StreamHeader.cbSrcLengthUsed = length;
    AcmBlockResult block;
    block.result = acm.acmStreamConvert(StreamHandle, &StreamHeader, flags);
    const DWORD used = StreamHeader.cbSrcLengthUsed;
    block.taken = used != 0 && used < length ? used : length;
    block.produced = block.result == MMSYSERR_NOERROR ? StreamHeader.cbDstLengthUsed : 0;
    return block;
}

void TACMConvertor::FinishConversion() {
    StreamHeader.cbSrcLength = inputBufferSize;
    CheckAcmResult(QStringLiteral("acmStreamReset"), acm.acmStreamReset(StreamHandle, 0));
}

void TACMConvertor::CloseStream() {
    CheckAcmResult("acmStreamUnPrepareHeader:",
                   acm.acmStreamUnprepareHeader(StreamHandle, &StreamHeader, 0));
    CheckAcmResult("acmStreamClose:", acm.acmStreamClose(StreamHandle, 0));
    InputBuffer.reset();
    OutputBuffer.reset();
    active = false;
}

void TACMConvertor::CheckAcmResult(const QString& prefix, MMRESULT code) const {
    const char* text = nullptr;
    switch (code) {
    case MMSYSERR_NOERROR:
        return;
    case MMSYSERR_INVALHANDLE:
        text = " The specified handle is invalid.";
        break;
    case MMSYSERR_NODRIVER:
        text = " A suitable driver is not available to provide valid format selections.";
        break;
    case MMSYSERR_NOMEM:
        text = " The system is unable to allocate resources.";
        break;
    case MMSYSERR_INVALFLAG:
        text = " At least one flag is invalid.";
        break;
    case MMSYSERR_INVALPARAM:
        text = " At least one parameter is invalid.";
        break;
    case ACMERR_NOTPOSSIBLE:
        text = " The requested operation cannot be performed.";
        break;
    case ACMERR_BUSY:
        text = " The conversion stream is already in use.";
        break;
    case ACMERR_UNPREPARED:
        text = " Cannot perform this action on a header that has not been prepared.";
        break;
    default:
        throw EACMConvertor(QString::asprintf("%s raised an unknown error (code #%d)",
                                              prefix.toUtf8().constData(),
                                              static_cast<std::int32_t>(code))
                                .toStdString());
    }
    throw EACMConvertor((prefix + QLatin1String(text)).toStdString());
}

QByteArray TACMConvertor::writeFormat(const AudioFormatRecord& record) {
    QByteArray data(4 + kFormatSlotSize, '\0');
    qToLittleEndian<std::uint32_t>(kFormatSlotSize, data.data());
    std::memcpy(data.data() + 4, &record, kFormatSlotSize);
    return data;
}

void TACMConvertor::readFormat(const QByteArray& data, AudioFormatRecord& record) {
    if (data.size() < 4)
        throw EACMConvertor("A stored format record lacks its byte count.");
    const std::uint32_t count = qFromLittleEndian<std::uint32_t>(data.constData());
    if (count > static_cast<std::uint32_t>(kFormatSlotSize)) {
        throw EACMConvertor(QString("A stored format record of %1 bytes does not fit its slot of "
                                    "%2 bytes.")
                                .arg(count)
                                .arg(kFormatSlotSize)
                                .toStdString());
    }
    if (count > static_cast<std::uint32_t>(data.size() - 4)) {
        throw EACMConvertor(QString("A stored format record states %1 bytes but holds only %2.")
                                .arg(count)
                                .arg(data.size() - 4)
                                .toStdString());
    }
    std::memcpy(&record, data.constData() + 4, count);
}

ACMConvertorProperties TACMConvertor::storeProperties() const {
    ACMConvertorProperties properties;
    properties.InputBufferSize = inputBufferSize;
    if (useRealTime)
        properties.UseRealTime = true;
    properties.ACMFormatIn = writeFormat(ACMFormatIn);
    properties.ACMFormatOut = writeFormat(ACMFormatOut);
    return properties;
}

void TACMConvertor::loadProperties(const ACMConvertorProperties& properties) {
    SetInputBufferSize(properties.InputBufferSize);
    if (properties.UseRealTime)
        SetUseRealTime(*properties.UseRealTime);
    readFormat(properties.ACMFormatIn, ACMFormatIn);
    readFormat(properties.ACMFormatOut, ACMFormatOut);
}

ACMConvertorProperties wavToWavDescription() {
    // Mono 8-bit in, stereo 16-bit out, both at 22050 Hz; cbSize holds the slot's size.
    static const std::uint8_t in[22] = {0x81, 0x00, 0x00, 0x00, 0x01, 0x00, 0x01, 0x00,
                                        0x22, 0x56, 0x00, 0x00, 0x22, 0x56, 0x00, 0x00,
                                        0x01, 0x00, 0x08, 0x00, 0x81, 0x00};
    static const std::uint8_t out[22] = {0x81, 0x00, 0x00, 0x00, 0x01, 0x00, 0x02, 0x00,
                                         0x22, 0x56, 0x00, 0x00, 0x88, 0x58, 0x01, 0x00,
                                         0x04, 0x00, 0x10, 0x00, 0x81, 0x00};
    ACMConvertorProperties description;
    description.InputBufferSize = 2048;
    description.ACMFormatIn = QByteArray(reinterpret_cast<const char*>(in), sizeof in);
    description.ACMFormatIn.append(kExtraRoom, '\0');
    description.ACMFormatOut = QByteArray(reinterpret_cast<const char*>(out), sizeof out);
    description.ACMFormatOut.append(kExtraRoom, '\0');
    return description;
}

void loadWavToWavDescription(TACMConvertor& wavtowav) {
    wavtowav.loadProperties(wavToWavDescription());
}
