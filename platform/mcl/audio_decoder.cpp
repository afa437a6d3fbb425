// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#include "platform/mcl/audio_decoder.h"

#include "common/file_names.h"
#include "platform/mcl/ffmpeg_log.h"

#include <cstring>

namespace {

// Damaged packets are skipped as players do; this many failures without one good frame in
// between mean that the stream cannot be decoded any further.
constexpr int kMaxErrorsInRow = 1000;

// FFmpeg has two decoders for each MPEG audio layer: floating point and fixed point.
const AVCodec* mpegDecoder(AVCodecID id, bool floatMpeg) {
    const char* name = nullptr;
    switch (id) {
    case AV_CODEC_ID_MP1:
        name = floatMpeg ? "mp1float" : "mp1";
        break;
    case AV_CODEC_ID_MP2:
        name = floatMpeg ? "mp2float" : "mp2";
        break;
    case AV_CODEC_ID_MP3:
        name = floatMpeg ? "mp3float" : "mp3";
        break;
    case AV_CODEC_ID_MP3ADU:
        name = floatMpeg ? "mp3adufloat" : "mp3adu";
        break;
    case AV_CODEC_ID_MP3ON4:
        name = floatMpeg ? "mp3on4float" : "mp3on4";
        break;
    default:
        return nullptr;
    }
    return avcodec_find_decoder_by_name(name);
}

} // namespace

std::unique_ptr<AudioDecoder> AudioDecoder::open(const std::string& path, bool floatMpeg,
                                                 bool* interrupted) {
    auto source = SourceFormat::open(path, interrupted);
    if (!source)
        return nullptr;
    AVStream* stream = source->audio();
    const AVCodec* decoder = source->decoder();
    if (const AVCodec* mpeg = mpegDecoder(stream->codecpar->codec_id, floatMpeg))
        decoder = mpeg;
    // Only the chosen stream is demuxed further; the video is skipped, not read.
    AVFormatContext* format = source->context();
    for (unsigned i = 0; i < format->nb_streams; ++i)
        format->streams[i]->discard =
            static_cast<int>(i) == source->audioIndex() ? AVDISCARD_DEFAULT : AVDISCARD_ALL;

    ffmpeg::AVCodecContextPtr codec(avcodec_alloc_context3(decoder));
    if (!codec)
        return nullptr;
    int err = avcodec_parameters_to_context(codec.get(), stream->codecpar);
    codec->pkt_timebase = stream->time_base;
    if (err >= 0)
        err = avcodec_open2(codec.get(), decoder, nullptr);
    if (err < 0 || codec->sample_rate <= 0 || codec->ch_layout.nb_channels <= 0) {
        qCDebug(lcMcl) << "cannot decode" << visibleName(decodeFileName(path.c_str()))
                       << ffmpeg::errorText(err).c_str();
        return nullptr;
    }
    auto result =
        std::unique_ptr<AudioDecoder>(new AudioDecoder(std::move(source), std::move(codec)));
    if (!result->packet || !result->frame)
        return nullptr;
    return result;
}

AudioDecoder::AudioDecoder(std::unique_ptr<SourceFormat> opened,
                           ffmpeg::AVCodecContextPtr codecContext)
    : source(std::move(opened)), codec(std::move(codecContext)), packet(av_packet_alloc()),
      frame(av_frame_alloc()), streamIndex(source->audioIndex()), outRate(codec->sample_rate),
      outLayout(codec->ch_layout.nb_channels == 1 ? 1 : 2) {}

AudioDecoder::Result AudioDecoder::decode(std::vector<std::int16_t>& out) {
    while (!finished) {
        const int err = avcodec_receive_frame(codec.get(), frame.get());
        if (err >= 0) {
            errorsInRow = 0;
            const bool ok = append(*frame, out);
            av_frame_unref(frame.get());
            return ok ? Result::More : Result::Failed;
        }
        if (err == AVERROR_EOF) {
            finished = true;
            if (converter && !converter->flush(out))
                return Result::Failed;
        } else if (err == AVERROR(EAGAIN)) {
            if (draining || !sendNextPacket())
                return Result::Failed;
        } else if (err == AVERROR(ENOMEM) || ++errorsInRow > kMaxErrorsInRow) {
            qCDebug(lcMcl) << "decoding failed:" << ffmpeg::errorText(err).c_str();
            return Result::Failed;
        }
    }
    return Result::End;
}

// False only when the decoder cannot take any more input.
bool AudioDecoder::sendNextPacket() {
    for (;;) {
        const int read = av_read_frame(source->context(), packet.get());
        if (read == AVERROR(EAGAIN))
            continue;
        // A source given up on has not ended: what follows was never read.
        if (read < 0 && interrupted())
            return false;
        if (read < 0) {
            // The end, or a rest that cannot be read (a truncated file): end there, as
            // players do, with what the decoder still holds.
            if (read != AVERROR_EOF)
                qCDebug(lcMcl) << "input ends early:" << ffmpeg::errorText(read).c_str();
            draining = true;
            return avcodec_send_packet(codec.get(), nullptr) >= 0;
        }
        if (packet->stream_index != streamIndex) {
            av_packet_unref(packet.get());
            continue;
        }
        const int err = avcodec_send_packet(codec.get(), packet.get());
        av_packet_unref(packet.get());
        if (err >= 0)
            return true;
        if (err == AVERROR(ENOMEM) || ++errorsInRow > kMaxErrorsInRow)
            return false;
        // A damaged packet: dropped, the next one is tried.
    }
}

bool AudioDecoder::append(const AVFrame& decoded, std::vector<std::int16_t>& out) {
    const auto sampleFormat = static_cast<AVSampleFormat>(decoded.format);
    const ChannelLayout layout(decoded.ch_layout);
    if (!converter || !converter->accepts(sampleFormat, layout, decoded.sample_rate)) {
        // A format change within the stream: what the old converter holds belongs before it.
        if (converter && !converter->flush(out))
            return false;
        converter.reset();
        const bool ready = sampleFormat == AV_SAMPLE_FMT_S16 && decoded.sample_rate == outRate &&
                           layout == outLayout;
        if (!ready) {
            converter = SampleConverter::create(sampleFormat, layout, decoded.sample_rate,
                                                outLayout.channels(), outRate);
            if (!converter)
                return false;
        }
    }
    if (converter)
        return converter->convert(decoded.extended_data, decoded.nb_samples, out);
    const std::size_t count = static_cast<std::size_t>(decoded.nb_samples) * outLayout.channels();
    const std::size_t used = out.size();
    out.resize(used + count);
    std::memcpy(out.data() + used, decoded.data[0], count * sizeof(std::int16_t));
    return true;
}
