// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#include "platform/mcl/ffmpeg_mcl.h"

#include "platform/mcl/ffmpeg_log.h"
#include "platform/mcl/source_format.h"
#include "platform/mcl/source_reader.h"

#include <sys/stat.h>

namespace {

constexpr int kFailed = -1;
constexpr int kSourceEnded = 1;

} // namespace

FfmpegMcl::FfmpegMcl(std::uint64_t limit) : riffLimit(limit) {
    ffmpeg::silenceLogging();
}

FfmpegMcl::~FfmpegMcl() = default;

int FfmpegMcl::MclTranslate(const char* text, const char* replacement) {
    if (!text || !replacement)
        return kFailed;
    texts.add(text, replacement);
    return 0;
}

int FfmpegMcl::MclMpegInternalDecoder(int internal) {
    floatMpeg = internal != 0;
    return succeed();
}

MclHandle FfmpegMcl::MclCreate() {
    const MclHandle handle = newHandle();
    outputs.emplace(handle, std::make_unique<WavWriter>(riffLimit));
    succeed();
    return handle;
}

int FfmpegMcl::MclAudioSetFileName(MclHandle output, const char* fileName) {
    const auto found = outputs.find(output);
    if (found == outputs.end())
        return fail(MclError::NoOutputHandle);
    // A file still open is completed first; a failure there is the old file's, not the new one's.
    const bool closed = found->second->close();
    if (!fileName || !*fileName || !found->second->open(fileName))
        return fail(MclError::InvalidOutput);
    return closed ? succeed() : fail(MclError::WriteFailed);
}

int FfmpegMcl::MclAudioSetFileHandle(MclHandle output, int descriptor) {
    const auto found = outputs.find(output);
    if (found == outputs.end())
        return fail(MclError::NoOutputHandle);
    const bool closed = found->second->close();
    if (descriptor < 0 || !found->second->attach(descriptor))
        return fail(MclError::InvalidOutput);
    return closed ? succeed() : fail(MclError::WriteFailed);
}

int FfmpegMcl::MclAudioSetTap(MclHandle output, MclSoundTap tap, void* context) {
    const auto found = outputs.find(output);
    if (found == outputs.end())
        return fail(MclError::NoOutputHandle);
    if (!tap)
        found->second->setTap({});
    else
        found->second->setTap(
            [tap, context](const std::int16_t* samples, std::int64_t frames, int rate,
                           int channels) { tap(context, samples, frames, rate, channels); });
    return succeed();
}

std::int64_t FfmpegMcl::MclWriteFlush(MclHandle output) {
    const auto found = outputs.find(output);
    if (found == outputs.end())
        return fail(MclError::NoOutputHandle);
    if (!found->second->isOpen())
        return fail(MclError::InvalidOutput);
    const std::int64_t offset = found->second->flush();
    if (offset < 0)
        return fail(MclError::WriteFailed);
    succeed();
    return offset;
}

MclHandle FfmpegMcl::MclSndCreate() {
    const MclHandle handle = newHandle();
    sounds.emplace(handle, SoundBlock{});
    succeed();
    return handle;
}

MclHandle FfmpegMcl::MclReadOpen(const char* path, int, int, int) {
    const MclHandle handle = newHandle();
    Input& input = inputs[handle];
    bool interrupted = false;
    if (path && *path)
        input.reader = SourceReader::open(path, floatMpeg, &interrupted);
    if (input.reader)
        succeed();
    else
        fail(interrupted ? MclError::Aborted : MclError::InvalidInput);
    return handle;
}

double FfmpegMcl::MclSourceSeconds(const char* path) {
    // Anything but a regular file would be read ahead of the conversion, or wait.
    struct stat status {};
    if (!path || ::stat(path, &status) != 0 || !S_ISREG(status.st_mode))
        return -1;
    const auto source = SourceFormat::open(path);
    return source && source->file().regular() ? source->seconds() : -1;
}

const char* FfmpegMcl::MclGetErrorStr() {
    errorText = texts.translate(MclTexts::english(state));
    return errorText.c_str();
}

int FfmpegMcl::MclReadSound(MclHandle input, std::int64_t position, std::int32_t count,
                            MclHandle sound) {
    const auto in = inputs.find(input);
    const auto block = sounds.find(sound);
    if (block == sounds.end())
        return fail(MclError::NoSoundHandle);
    block->second.samples.clear();
    if (position < 0 || count < 0)
        return fail(MclError::Unknown);
    if (in == inputs.end())
        return fail(MclError::InvalidInput);
    if (in->second.aborted)
        return fail(MclError::Aborted);
    if (!in->second.reader)
        return fail(MclError::InvalidInput);
    switch (in->second.reader->read(position, count, block->second)) {
    case SourceReader::Status::More:
        return succeed();
    case SourceReader::Status::End:
        succeed();
        return kSourceEnded;
    case SourceReader::Status::Failed:
        break;
    }
    return fail(in->second.reader->interrupted() ? MclError::Aborted : MclError::ReadFailed);
}

double FfmpegMcl::MclSndSeconds(MclHandle sound) {
    const auto block = sounds.find(sound);
    if (block == sounds.end() || block->second.rate <= 0)
        return 0;
    return static_cast<double>(block->second.frames()) / block->second.rate;
}

int FfmpegMcl::MclWriteSound(MclHandle output, MclHandle sound) {
    const auto out = outputs.find(output);
    if (out == outputs.end())
        return fail(MclError::NoOutputHandle);
    const auto block = sounds.find(sound);
    if (block == sounds.end())
        return fail(MclError::NoSoundHandle);
    if (!out->second->isOpen())
        return fail(MclError::InvalidOutput);
    return out->second->write(block->second) ? succeed() : fail(MclError::WriteFailed);
}

std::int64_t FfmpegMcl::MclAudioPosition(MclHandle output) {
    const auto out = outputs.find(output);
    if (out == outputs.end()) {
        fail(MclError::NoOutputHandle);
        return -1;
    }
    succeed();
    return out->second->position();
}

int FfmpegMcl::MclAudioAddCue(MclHandle output, std::int64_t frame, const char* label) {
    const auto out = outputs.find(output);
    if (out == outputs.end())
        return fail(MclError::NoOutputHandle);
    return out->second->addCue(frame, label ? label : "") ? succeed()
                                                          : fail(MclError::InvalidOutput);
}

int FfmpegMcl::MclReadClose(MclHandle input) {
    if (inputs.erase(input) == 0)
        return fail(MclError::InvalidInput);
    return succeed();
}

int FfmpegMcl::MclWriteClose(MclHandle output) {
    const auto out = outputs.find(output);
    if (out == outputs.end())
        return fail(MclError::NoOutputHandle);
    return out->second->close() ? succeed() : fail(MclError::WriteFailed);
}

int FfmpegMcl::MclSndFree(MclHandle sound) {
    if (sounds.erase(sound) == 0)
        return fail(MclError::NoSoundHandle);
    return succeed();
}

int FfmpegMcl::MclFree(MclHandle output) {
    const auto out = outputs.find(output);
    if (out == outputs.end())
        return fail(MclError::NoOutputHandle);
    // A file still open is completed, so that it is never left without its header.
    const bool closed = out->second->close();
    outputs.erase(out);
    return closed ? succeed() : fail(MclError::WriteFailed);
}

int FfmpegMcl::MclAbort(MclHandle handle) {
    if (handle == 0) {
        for (auto& [id, input] : inputs)
            input.aborted = true;
        return succeed();
    }
    const auto in = inputs.find(handle);
    if (in == inputs.end())
        return fail(MclError::InvalidInput);
    in->second.aborted = true;
    return succeed();
}

std::string FfmpegMcl::decoderName(MclHandle input) const {
    const auto in = inputs.find(input);
    return in != inputs.end() && in->second.reader ? in->second.reader->decoderName() : "";
}

const SoundBlock* FfmpegMcl::soundBlock(MclHandle sound) const {
    const auto block = sounds.find(sound);
    return block == sounds.end() ? nullptr : &block->second;
}

// Handles are never 0 and not reused while the library lives (until the 32 bits wrap).
MclHandle FfmpegMcl::newHandle() {
    do {
        ++lastHandle;
    } while (lastHandle == 0 || inputs.contains(lastHandle) || outputs.contains(lastHandle) ||
             sounds.contains(lastHandle));
    return lastHandle;
}

int FfmpegMcl::succeed() {
    state = MclError::Ok;
    return 0;
}

int FfmpegMcl::fail(MclError error) {
    state = error;
    return kFailed;
}
