// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#pragma once

#include "common/exception.h"
#include "platform/msacm/msacm.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <cstdint>
#include <memory>
#include <optional>

// The format convertor's error: a message only.
class EACMConvertor : public Exception {
public:
    using Exception::Exception;
};

inline constexpr int kFormatSlotSize = 129;

#pragma pack(push, 1)
// A wave-format record in its 129-byte slot: the 18-byte header and 111 bytes of extra data.
struct AudioFormatRecord {
    WAVEFORMATEX header;
    std::uint8_t extra[kFormatSlotSize - sizeof(WAVEFORMATEX)];
};
#pragma pack(pop)
static_assert(sizeof(AudioFormatRecord) == kFormatSlotSize);

// The component's stored form, in the order it is written and read: the published properties
// (UseRealTime only when true), then the two binary format records of 133 bytes each.
struct ACMConvertorProperties {
    std::uint32_t InputBufferSize = 2048;
    std::optional<bool> UseRealTime;
    QByteArray ACMFormatIn;
    QByteArray ACMFormatOut;
};

// What one block's conversion did: the bytes of InputBuffer it took (the rest must begin the
// next block), the bytes it put into OutputBuffer, and the manager's result code.
struct AcmBlockResult {
    std::uint32_t taken = 0;
    std::uint32_t produced = 0;
    MMRESULT result = MMSYSERR_NOERROR;
};

// Converts audio from one wave format to another, block by block, on one conversion stream.
// The component opens and closes the stream and turns result codes into EACMConvertor; the
// caller fills InputBuffer, converts on StreamHandle and StreamHeader, and takes OutputBuffer.
class TACMConvertor : public QObject {
public:
    explicit TACMConvertor(AcmLibrary& acm, QObject* owner = nullptr);
    ~TACMConvertor() override;

    void SetActive(bool active);
    bool Active() const { return active; }
    void SetInputBufferSize(std::uint32_t size);
    std::uint32_t InputBufferSize() const { return inputBufferSize; }
    void SetUseRealTime(bool realTime);
    bool UseRealTime() const { return useRealTime; }

    // Returns for 0; otherwise raises EACMConvertor with `prefix` and the code's text.
    void CheckAcmResult(const QString& prefix, MMRESULT code) const;

    // Converts the first `length` bytes of InputBuffer, while active. The first block after
    // activation starts the stream; `last` says that no data follows, so the stream hands out
    // what it still holds. A conversion that reports taking nothing counts as taking the block.
    // The result code is returned, not raised: a caller may go on after a failed block.
    AcmBlockResult ConvertBlock(std::uint32_t length, bool last);
    // After the last block: the header's source length back to its prepared value, the stream
    // reset. Raises EACMConvertor "acmStreamReset ..." when the reset fails.
    void FinishConversion();

    // The stored form of a format record: a 32-bit little-endian count (129), then the record.
    static QByteArray writeFormat(const AudioFormatRecord& record);
    // Restores a record from its stored form; refuses data that does not fit the slot.
    static void readFormat(const QByteArray& data, AudioFormatRecord& record);

    ACMConvertorProperties storeProperties() const;
    // As a loaded component: the published properties through their setters, then the records.
    void loadProperties(const ACMConvertorProperties& properties);

    // The conversion-stream calls the caller makes on this component's stream.
    AcmLibrary& library() const { return acm; }

    AudioFormatRecord ACMFormatIn{};
    AudioFormatRecord ACMFormatOut{};
    std::unique_ptr<std::uint8_t[]> InputBuffer;
    std::unique_ptr<std::uint8_t[]> OutputBuffer;
    std::uint32_t OutputBufferSize = 0;
    HACMSTREAM StreamHandle = nullptr;
    ACMSTREAMHEADER StreamHeader{};

private:
    void OpenStream();
    void CloseStream();

    AcmLibrary& acm;
    bool active = false;
    bool started = false; // a block was converted since activation
    bool useRealTime = false;
    std::uint32_t inputBufferSize = 2048;
};

// The stored description of the main window's convertor `wavtowav`.
ACMConvertorProperties wavToWavDescription();
// Loads the main window's convertor `wavtowav` (freshly constructed) from its description.
void loadWavToWavDescription(TACMConvertor& wavtowav);
