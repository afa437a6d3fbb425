// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#pragma once

#include "fakes/call_log.h"
#include "platform/msacm/msacm.h"

#include <cstring>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

// A conversion manager that records every call as text with its arguments, fails any call with
// a chosen code, reports a chosen size, and plays acmStreamConvert from a script.
//
// Texts: "acmStreamOpen(driver,src,dst,filter,callback,instance,flags)" with each format as
// tag/channels/rate/avg/align/bits/cbSize; "acmStreamSize(h,input,flags)";
// "acmStreamPrepareHeader(h,cbStruct,src,dst,flags)" and the same for unprepare, with the
// header's cbSrcLength and cbDstLength; "acmStreamConvert(h,src,flags)" with cbSrcLength;
// "acmStreamReset(h,flags)"; "acmStreamClose(h,flags)". The stream the fake opens shows as
// "h"; any other handle as "null" or "other".
class FakeAcm : public AcmLibrary, public CallLog {
public:
    // One scripted conversion: what it reports in the header, and its result.
    struct Conversion {
        std::optional<DWORD> srcUsed; // unset: the whole cbSrcLength
        DWORD dstUsed = 0;
        MMRESULT result = MMSYSERR_NOERROR;
        std::vector<std::uint8_t> output; // copied to pbDst when set
    };

    std::map<std::string, MMRESULT> failures;    // call name -> code it returns
    DWORD reportedSize = 8192;                   // what acmStreamSize answers
    std::deque<Conversion> script;               // consumed one per acmStreamConvert
    std::vector<DWORD> convertFlags;             // flags of every acmStreamConvert
    std::vector<ACMSTREAMHEADER> convertHeaders; // header as it was passed to each conversion
    // Runs inside acmStreamConvert after it was recorded (e.g. to look at the input buffer).
    std::function<void(const ACMSTREAMHEADER&)> onConvert;
    WAVEFORMATEX openedSource{};
    WAVEFORMATEX openedDestination{};
    ACMSTREAMHEADER preparedHeader{}; // copy taken at preparation

    static HACMSTREAM handle() { return reinterpret_cast<HACMSTREAM>(std::uintptr_t{0x4ac}); }

    void failWith(const std::string& call, MMRESULT code) { failures[call] = code; }

    MMRESULT acmStreamOpen(HACMSTREAM* stream, HACMDRIVER driver, const WAVEFORMATEX* source,
                           const WAVEFORMATEX* destination, WAVEFILTER* filter, DWORD_PTR callback,
                           DWORD_PTR instance, DWORD flags) override {
        record("acmStreamOpen(" + pointer(driver) + "," + format(source) + "," +
               format(destination) + "," + pointer(filter) + "," + std::to_string(callback) + "," +
               std::to_string(instance) + "," + std::to_string(flags) + ")");
        if (source)
            openedSource = *source;
        if (destination)
            openedDestination = *destination;
        const MMRESULT code = failure("acmStreamOpen");
        if (code == MMSYSERR_NOERROR && stream)
            *stream = handle();
        return code;
    }
    MMRESULT acmStreamSize(HACMSTREAM stream, DWORD input, DWORD* output, DWORD flags) override {
        record("acmStreamSize(" + name(stream) + "," + std::to_string(input) + "," +
               std::to_string(flags) + ")");
        const MMRESULT code = failure("acmStreamSize");
        if (code == MMSYSERR_NOERROR && output)
            *output = reportedSize;
        return code;
    }
    MMRESULT acmStreamPrepareHeader(HACMSTREAM stream, ACMSTREAMHEADER* header,
                                    DWORD flags) override {
        record("acmStreamPrepareHeader(" + name(stream) + "," + lengths(header) + "," +
               std::to_string(flags) + ")");
        if (header)
            preparedHeader = *header;
        return failure("acmStreamPrepareHeader");
    }
    MMRESULT acmStreamUnprepareHeader(HACMSTREAM stream, ACMSTREAMHEADER* header,
                                      DWORD flags) override {
        record("acmStreamUnprepareHeader(" + name(stream) + "," + lengths(header) + "," +
               std::to_string(flags) + ")");
        return failure("acmStreamUnprepareHeader");
    }
    MMRESULT acmStreamClose(HACMSTREAM stream, DWORD flags) override {
        record("acmStreamClose(" + name(stream) + "," + std::to_string(flags) + ")");
        return failure("acmStreamClose");
    }
    MMRESULT acmStreamConvert(HACMSTREAM stream, ACMSTREAMHEADER* header, DWORD flags) override {
        record("acmStreamConvert(" + name(stream) + "," +
               (header ? std::to_string(header->cbSrcLength) : "null") + "," +
               std::to_string(flags) + ")");
        convertFlags.push_back(flags);
        if (header)
            convertHeaders.push_back(*header);
        if (onConvert && header)
            onConvert(*header);
        Conversion step;
        if (!script.empty()) {
            step = std::move(script.front());
            script.pop_front();
        }
        if (header) {
            header->cbSrcLengthUsed = step.srcUsed.value_or(header->cbSrcLength);
            header->cbDstLengthUsed = step.dstUsed;
            if (!step.output.empty() && header->pbDst)
                std::memcpy(header->pbDst, step.output.data(), step.output.size());
        }
        const MMRESULT code = failure("acmStreamConvert");
        return code != MMSYSERR_NOERROR ? code : step.result;
    }
    MMRESULT acmStreamReset(HACMSTREAM stream, DWORD flags) override {
        record("acmStreamReset(" + name(stream) + "," + std::to_string(flags) + ")");
        return failure("acmStreamReset");
    }

    static std::string format(const WAVEFORMATEX* f) {
        if (!f)
            return "null";
        return std::to_string(f->wFormatTag) + "/" + std::to_string(f->nChannels) + "/" +
               std::to_string(f->nSamplesPerSec) + "/" + std::to_string(f->nAvgBytesPerSec) + "/" +
               std::to_string(f->nBlockAlign) + "/" + std::to_string(f->wBitsPerSample) + "/" +
               std::to_string(f->cbSize);
    }

private:
    MMRESULT failure(const std::string& call) const {
        const auto it = failures.find(call);
        return it == failures.end() ? MMSYSERR_NOERROR : it->second;
    }
    static std::string name(HACMSTREAM stream) {
        return stream == handle() ? "h" : stream ? "other" : "null";
    }
    static std::string pointer(const void* p) { return p ? "set" : "null"; }
    static std::string lengths(const ACMSTREAMHEADER* h) {
        if (!h)
            return "null";
        return std::to_string(h->cbStruct) + "," + std::to_string(h->cbSrcLength) + "," +
               std::to_string(h->cbDstLength);
    }
};
