// SPDX-License-Identifier: GPL-3.0-or-later
// Encodes colour bars, sine tones, KLV packets and cover art and muxes them into a file.
#include "support/media_writer.h"

#include "support/av_error.h"
#include "support/colour_bars.h"

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/display.h>
#include <libavutil/mathematics.h>
#include <libavutil/opt.h>
#include <libavutil/pixdesc.h>
}

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <numbers>
#include <string>

namespace morvane::test {
namespace {

constexpr AVRational kMicroseconds{1, 1000000};
// Samples per frame for encoders that take any count (PCM).
constexpr int kVariableFrameSamples = 1024;

std::int64_t to_microseconds(double seconds) {
    return std::llround(seconds * 1e6);
}

const AVCodec& find_encoder(AVCodecID codec_id, const std::string& encoder_name) {
    std::string name = encoder_name;
    if (name.empty()) {
        // The encoders Debian's FFmpeg has and players expect; avcodec_find_encoder could
        // pick a hardware one first.
        if (codec_id == AV_CODEC_ID_H264) {
            name = "libx264";
        } else if (codec_id == AV_CODEC_ID_MP3) {
            name = "libmp3lame";
        }
    }
    const AVCodec* codec =
        name.empty() ? avcodec_find_encoder(codec_id) : avcodec_find_encoder_by_name(name.c_str());
    if (codec == nullptr) {
        av::fail("no encoder " + (name.empty() ? std::string(avcodec_get_name(codec_id)) : name));
    }
    if (codec->id != codec_id) {
        av::fail("encoder " + name + " does not write " + avcodec_get_name(codec_id));
    }
    return *codec;
}

av::CodecContextPtr allocate_encoder(const AVCodec& codec) {
    av::CodecContextPtr context(avcodec_alloc_context3(&codec));
    if (!context) {
        av::fail(std::string("cannot allocate encoder ") + codec.name);
    }
    // One thread and bit-exact output: the same description always gives the same bytes.
    context->thread_count = 1;
    context->flags |= AV_CODEC_FLAG_BITEXACT;
    return context;
}

void open_encoder(AVCodecContext& context, const AVFormatContext& output) {
    if (output.oformat->flags & AVFMT_GLOBALHEADER) {
        context.flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    }
    av::check(avcodec_open2(&context, context.codec, nullptr),
              std::string("opening encoder ") + context.codec->name);
}

AVStream& add_stream(AVFormatContext& output, const AVCodecContext* encoder) {
    AVStream* stream = avformat_new_stream(&output, nullptr);
    if (stream == nullptr) {
        av::fail("cannot add a stream");
    }
    if (encoder != nullptr) {
        av::check(avcodec_parameters_from_context(stream->codecpar, encoder),
                  "copying encoder parameters");
        stream->time_base = encoder->time_base;
    }
    return *stream;
}

// Encoders of the MPEG video family default to a low bit rate; a fixed quantiser keeps flat
// colours close to what was painted.
bool uses_quantiser(AVCodecID codec_id) {
    switch (codec_id) {
    case AV_CODEC_ID_MPEG1VIDEO:
    case AV_CODEC_ID_MPEG2VIDEO:
    case AV_CODEC_ID_MPEG4:
    case AV_CODEC_ID_MSMPEG4V2:
    case AV_CODEC_ID_MSMPEG4V3:
    case AV_CODEC_ID_H263:
    case AV_CODEC_ID_H263P:
    case AV_CODEC_ID_FLV1:
    case AV_CODEC_ID_MJPEG:
        return true;
    default:
        return false;
    }
}

// JPEG codes full-range YUV; asking MJPEG for yuv420p means its yuvj420p twin.
AVPixelFormat full_range_twin(AVPixelFormat format) {
    switch (format) {
    case AV_PIX_FMT_YUV420P:
        return AV_PIX_FMT_YUVJ420P;
    case AV_PIX_FMT_YUV422P:
        return AV_PIX_FMT_YUVJ422P;
    case AV_PIX_FMT_YUV444P:
        return AV_PIX_FMT_YUVJ444P;
    default:
        return format;
    }
}

bool paintable(AVPixelFormat format) {
    const AVPixFmtDescriptor* descriptor = av_pix_fmt_desc_get(format);
    return descriptor != nullptr && !(descriptor->flags & AV_PIX_FMT_FLAG_RGB) &&
           (descriptor->flags & AV_PIX_FMT_FLAG_PLANAR) && descriptor->nb_components >= 3 &&
           descriptor->comp[0].depth == 8 && descriptor->comp[0].plane == 0 &&
           descriptor->comp[1].plane == 1 && descriptor->comp[2].plane == 2;
}

av::FramePtr allocate_picture(int width, int height, AVPixelFormat format) {
    av::FramePtr frame(av_frame_alloc());
    if (!frame) {
        av::fail("cannot allocate a frame");
    }
    frame->width = width;
    frame->height = height;
    frame->format = format;
    av::check(av_frame_get_buffer(frame.get(), 0), "allocating a picture");
    return frame;
}

// A frame of colour bars in `format`: painted directly when it is planar YUV, otherwise
// painted in yuv444p and converted (PNG wants RGB).
av::FramePtr colour_bars_picture(int width, int height, AVPixelFormat format) {
    if (paintable(format)) {
        av::FramePtr frame = allocate_picture(width, height, format);
        paint_colour_bars(*frame);
        return frame;
    }
    av::FramePtr source = allocate_picture(width, height, AV_PIX_FMT_YUV444P);
    paint_colour_bars(*source);
    av::FramePtr frame = allocate_picture(width, height, format);
    av::ScalerPtr scaler(sws_getContext(width, height, AV_PIX_FMT_YUV444P, width, height, format,
                                        SWS_POINT, nullptr, nullptr, nullptr));
    if (!scaler) {
        av::fail(std::string("cannot convert colour bars to ") + av_get_pix_fmt_name(format));
    }
    av::check(sws_scale(scaler.get(), source->data, source->linesize, 0, height, frame->data,
                        frame->linesize),
              "converting colour bars");
    return frame;
}

// One flat colour over a whole 8-bit planar YUV picture.
void fill_picture(AVFrame& frame, int y, int u, int v) {
    const AVPixFmtDescriptor* descriptor =
        av_pix_fmt_desc_get(static_cast<AVPixelFormat>(frame.format));
    const int values[3] = {y, u, v};
    for (int plane = 0; plane < 3; ++plane) {
        const int height =
            plane == 0 ? frame.height : AV_CEIL_RSHIFT(frame.height, descriptor->log2_chroma_h);
        const int width =
            plane == 0 ? frame.width : AV_CEIL_RSHIFT(frame.width, descriptor->log2_chroma_w);
        for (int row = 0; row < height; ++row) {
            std::memset(frame.data[plane] +
                            static_cast<std::ptrdiff_t>(row) * frame.linesize[plane],
                        values[plane], static_cast<std::size_t>(width));
        }
    }
}

// A white bar 32 pixels wide on black, 16 pixels further right every frame; the field shown
// second has it 8 pixels on from the first, as a camera that scans fields would.
void paint_moving_bar(AVFrame& frame, std::int64_t index, bool top_field_first) {
    fill_picture(frame, 16, 128, 128);
    for (int row = 0; row < frame.height; ++row) {
        const bool second_field = (row % 2 == 1) == top_field_first;
        const std::int64_t left = (index * 16 + (second_field ? 8 : 0)) % frame.width;
        for (int x = 0; x < 32; ++x) {
            frame.data[0][static_cast<std::ptrdiff_t>(row) * frame.linesize[0] +
                          (left + x) % frame.width] = 235;
        }
    }
}

// Random values over the whole range in every plane, different in every frame and the same
// on every run: nothing in it can be predicted.
void paint_noise(AVFrame& frame, std::int64_t index) {
    const AVPixFmtDescriptor* descriptor =
        av_pix_fmt_desc_get(static_cast<AVPixelFormat>(frame.format));
    std::uint32_t state = 0x9E3779B9U ^ static_cast<std::uint32_t>(index * 2654435761U);
    for (int plane = 0; plane < 3; ++plane) {
        const int height =
            plane == 0 ? frame.height : AV_CEIL_RSHIFT(frame.height, descriptor->log2_chroma_h);
        const int width =
            plane == 0 ? frame.width : AV_CEIL_RSHIFT(frame.width, descriptor->log2_chroma_w);
        for (int row = 0; row < height; ++row) {
            std::uint8_t* line =
                frame.data[plane] + static_cast<std::ptrdiff_t>(row) * frame.linesize[plane];
            for (int x = 0; x < width; ++x) {
                state = state * 1664525U + 1013904223U;
                line[x] = static_cast<std::uint8_t>(state >> 24);
            }
        }
    }
}

template <typename Sample>
void store(std::uint8_t* where, Sample value) {
    std::memcpy(where, &value, sizeof value);
}

// Writes one sample (-1..1) in whatever format the encoder takes.
void store_sample(AVFrame& frame, int channel, int index, double value) {
    const auto format = static_cast<AVSampleFormat>(frame.format);
    const int bytes = av_get_bytes_per_sample(format);
    std::uint8_t* where =
        av_sample_fmt_is_planar(format)
            ? frame.extended_data[channel] + static_cast<std::ptrdiff_t>(index) * bytes
            : frame.extended_data[0] +
                  (static_cast<std::ptrdiff_t>(index) * frame.ch_layout.nb_channels + channel) *
                      bytes;
    switch (av_get_packed_sample_fmt(format)) {
    case AV_SAMPLE_FMT_U8:
        store(where, static_cast<std::uint8_t>(std::lround(value * 127.0) + 128));
        break;
    case AV_SAMPLE_FMT_S16:
        store(where, static_cast<std::int16_t>(std::lround(value * 32767.0)));
        break;
    case AV_SAMPLE_FMT_S32:
        store(where, static_cast<std::int32_t>(std::llround(value * 2147483647.0)));
        break;
    case AV_SAMPLE_FMT_S64:
        store(where, static_cast<std::int64_t>(std::llround(value * 9.2e18)));
        break;
    case AV_SAMPLE_FMT_FLT:
        store(where, static_cast<float>(value));
        break;
    case AV_SAMPLE_FMT_DBL:
        store(where, value);
        break;
    default:
        av::fail(std::string("cannot write samples in format ") + av_get_sample_fmt_name(format));
    }
}

// A KLV triple (SMPTE 336M): a 16-byte universal label, a BER length and a value that counts
// the packets.
std::array<std::uint8_t, 25> klv_payload(std::int64_t index) {
    std::array<std::uint8_t, 25> payload{0x06, 0x0E, 0x2B, 0x34, 0x02, 0x0B, 0x01, 0x01, 0x0E,
                                         0x01, 0x03, 0x01, 0x01, 0x00, 0x00, 0x00, 0x08};
    for (int byte = 0; byte < 8; ++byte) {
        payload[static_cast<std::size_t>(17 + byte)] =
            static_cast<std::uint8_t>(static_cast<std::uint64_t>(index) >> (56 - 8 * byte));
    }
    return payload;
}

} // namespace

void write_media(const std::filesystem::path& path, const MediaDescription& description) {
    MediaWriter(path, description).write();
}

MediaWriter::MediaWriter(const std::filesystem::path& path, const MediaDescription& description)
    : path_(path) {
    if (description.video) {
        longest_seconds_ = std::max(longest_seconds_, description.video->duration_seconds);
    }
    for (const auto& audio : description.audio) {
        longest_seconds_ = std::max(longest_seconds_, audio.duration_seconds);
    }
    if (description.data) {
        longest_seconds_ = std::max(longest_seconds_, description.data->duration_seconds);
    }
    if (!description.video && description.audio.empty() && !description.data) {
        av::fail("a media file needs a video, audio or data track");
    }
    if (!(description.start_seconds >= 0.0)) {
        av::fail("a file starts at 0 seconds or later");
    }
    start_seconds_ = description.start_seconds;

    AVFormatContext* output = nullptr;
    const std::string name = path.string();
    const int result = avformat_alloc_output_context2(
        &output, nullptr,
        description.format_name.empty() ? nullptr : description.format_name.c_str(), name.c_str());
    if (result < 0 || output == nullptr) {
        av::fail("no container for " + name +
                 (description.format_name.empty() ? "" : " in format " + description.format_name) +
                 (result < 0 ? ": " + av::error_text(result) : ""));
    }
    output_.reset(output);
    output_->flags |= AVFMT_FLAG_BITEXACT;
    // Without a start such a container moves a file that starts before 0 later by itself; with
    // one, the writer adds that same delay.
    holding_ = start_seconds_ > 0.0 &&
               !(output_->oformat->flags & (AVFMT_TS_NEGATIVE | AVFMT_NOTIMESTAMPS));

    packet_.reset(av_packet_alloc());
    if (!packet_) {
        av::fail("cannot allocate a packet");
    }
    // Tracks are added in stream order: video, audio, data, cover art.
    tracks_.reserve(description.audio.size() + 3);
    if (description.video) {
        add_video(*description.video);
    }
    for (const auto& audio : description.audio) {
        add_audio(audio);
    }
    if (description.data) {
        add_data(*description.data);
    }
    if (description.cover_art) {
        add_cover_art(*description.cover_art);
    }
    for (Track& track : tracks_) {
        plan_jump(track, description.timestamp_jump_seconds);
        const AVMediaType type = track.kind == Track::Kind::video   ? AVMEDIA_TYPE_VIDEO
                                 : track.kind == Track::Kind::audio ? AVMEDIA_TYPE_AUDIO
                                                                    : AVMEDIA_TYPE_UNKNOWN;
        for (const auto& stamp : description.stamped_ahead) {
            if (stamp.type == type) {
                track.stamp_from =
                    av_rescale_q(to_microseconds(stamp.at_seconds), kMicroseconds, track.time_base);
                track.stamp_units = av_rescale_q(to_microseconds(stamp.ahead_seconds),
                                                 kMicroseconds, track.time_base);
            }
        }
    }
    plan_flashes(description);
    for (const auto& [key, value] : description.tags) {
        av::check(av_dict_set(&output_->metadata, key.c_str(), value.c_str(), 0), "setting a tag");
    }
}

void MediaWriter::plan_flashes(const MediaDescription& description) {
    const Track* video = nullptr;
    for (const Track& track : tracks_) {
        if (track.kind == Track::Kind::video &&
            track.pattern == MediaDescription::Video::Pattern::flash) {
            video = &track;
        }
    }
    for (int second = 1; second < static_cast<int>(longest_seconds_); ++second) {
        std::int64_t start = std::int64_t{second} * 1000000;
        if (video != nullptr) {
            // The first frame at or after the whole second.
            for (std::int64_t unit = 0; unit < video->unit_count; ++unit) {
                const std::int64_t time =
                    av_rescale_q(unit_pts(*video, unit), video->time_base, kMicroseconds);
                if (time >= start) {
                    start = time;
                    break;
                }
            }
        }
        flash_starts_.push_back(start);
    }
    (void)description;
}

std::int64_t MediaWriter::unit_pts(const Track& track, std::int64_t unit) const {
    return track.frame_times.empty() ? unit : track.frame_times[static_cast<std::size_t>(unit)];
}

bool MediaWriter::flash_at(std::int64_t microseconds) const {
    for (const std::int64_t start : flash_starts_) {
        if (microseconds >= start && microseconds < start + to_microseconds(kFlashSeconds)) {
            return true;
        }
    }
    return false;
}

void MediaWriter::add_video(const MediaDescription::Video& video) {
    if (video.width <= 0 || video.height <= 0 || video.frame_rate.num <= 0 ||
        video.frame_rate.den <= 0 || video.duration_seconds <= 0) {
        av::fail("video needs a size, a frame rate and a duration");
    }
    const AVCodec& codec = find_encoder(video.codec, video.encoder_name);
    Track track;
    track.kind = Track::Kind::video;
    track.encoder = allocate_encoder(codec);
    AVCodecContext& encoder = *track.encoder;
    encoder.width = video.width;
    encoder.height = video.height;
    encoder.pix_fmt =
        video.codec == AV_CODEC_ID_MJPEG ? full_range_twin(video.pixel_format) : video.pixel_format;
    encoder.time_base = av_inv_q(video.frame_rate);
    encoder.framerate = video.frame_rate;
    if (video.variable_frame_rate) {
        encoder.time_base = AVRational{1, 1000};
        encoder.framerate = AVRational{1000, 35}; // the average of the four durations
    }
    if (video.pattern == MediaDescription::Video::Pattern::moving_bar) {
        // PAL DV always codes the bottom field first.
        track.top_field_first = video.codec != AV_CODEC_ID_DVVIDEO;
        encoder.flags |= AV_CODEC_FLAG_INTERLACED_DCT | AV_CODEC_FLAG_INTERLACED_ME;
        encoder.field_order = track.top_field_first ? AV_FIELD_TT : AV_FIELD_BB;
    }
    encoder.sample_aspect_ratio = video.sample_aspect_ratio;
    // A key frame every second, as usual files have: a damaged or cut file recovers there.
    encoder.gop_size = std::max(1, static_cast<int>(std::lround(av_q2d(video.frame_rate))));
    if (video.bit_rate > 0) {
        encoder.bit_rate = video.bit_rate;
    } else if (uses_quantiser(video.codec)) {
        encoder.flags |= AV_CODEC_FLAG_QSCALE;
        encoder.global_quality = FF_QP2LAMBDA * 3;
    }
    if (std::string(codec.name) == "libx264") {
        // Keeps B-frames (and so dts before pts) while encoding fast.
        av::check(av_opt_set(encoder.priv_data, "preset", "veryfast", 0), "setting x264 preset");
    }
    open_encoder(encoder, *output_);

    track.stream = &add_stream(*output_, &encoder);
    if (!video.container_states_field_order) {
        track.stream->codecpar->field_order = AV_FIELD_UNKNOWN;
    }
    track.stream->avg_frame_rate = encoder.framerate;
    track.stream->sample_aspect_ratio = video.sample_aspect_ratio;
    if (video.clockwise_turn != 0) {
        auto* matrix = reinterpret_cast<std::int32_t*>(av_stream_new_side_data(
            track.stream, AV_PKT_DATA_DISPLAYMATRIX, 9 * sizeof(std::int32_t)));
        if (matrix == nullptr) {
            av::fail("cannot add a display matrix");
        }
        av_display_rotation_set(matrix, video.clockwise_turn);
    }
    track.time_base = encoder.time_base;
    track.pattern = video.pattern;
    if (video.variable_frame_rate) {
        static constexpr std::int64_t durations[] = {20, 40, 30, 50};
        for (std::int64_t time = 0; time < std::llround(video.duration_seconds * 1000);) {
            time += durations[track.frame_times.size() % 4];
            track.frame_times.push_back(time - durations[track.frame_times.size() % 4]);
        }
        track.unit_count = static_cast<std::int64_t>(track.frame_times.size());
    } else {
        track.unit_count = std::llround(video.duration_seconds * av_q2d(video.frame_rate));
    }
    plan_gap(track, video.gap_from_seconds, video.gap_to_seconds);
    if (video.pattern == MediaDescription::Video::Pattern::colour_bars) {
        // The picture never changes, so one painted frame serves every timestamp.
        track.frame = colour_bars_picture(video.width, video.height, encoder.pix_fmt);
    } else {
        track.frame = allocate_picture(video.width, video.height, encoder.pix_fmt);
        fill_picture(*track.frame, 16, 128, 128);
        track.second_frame = allocate_picture(video.width, video.height, encoder.pix_fmt);
        fill_picture(*track.second_frame, 235, 128, 128);
    }
    tracks_.push_back(std::move(track));
}

void MediaWriter::add_audio(const MediaDescription::Audio& audio) {
    if (audio.sample_rate <= 0 || audio.channels <= 0 || audio.duration_seconds <= 0) {
        av::fail("audio needs a sample rate, channels and a duration");
    }
    const AVCodec& codec = find_encoder(audio.codec, audio.encoder_name);
    if (codec.supported_samplerates != nullptr) {
        bool supported = false;
        for (const int* rate = codec.supported_samplerates; *rate != 0; ++rate) {
            supported = supported || *rate == audio.sample_rate;
        }
        if (!supported) {
            av::fail(std::string("encoder ") + codec.name + " does not take " +
                     std::to_string(audio.sample_rate) + " Hz");
        }
    }
    Track track;
    track.kind = Track::Kind::audio;
    track.encoder = allocate_encoder(codec);
    AVCodecContext& encoder = *track.encoder;
    encoder.sample_fmt = codec.sample_fmts != nullptr ? codec.sample_fmts[0] : AV_SAMPLE_FMT_S16;
    encoder.sample_rate = audio.sample_rate;
    av_channel_layout_default(&encoder.ch_layout, audio.channels);
    if (codec.ch_layouts != nullptr) {
        bool supported = false;
        for (const AVChannelLayout* layout = codec.ch_layouts; layout->nb_channels != 0; ++layout) {
            supported = supported || av_channel_layout_compare(layout, &encoder.ch_layout) == 0;
        }
        if (!supported) {
            // MP2's encoder, for one, writes mono and stereo only.
            av::fail(std::string("encoder ") + codec.name + " does not take " +
                     std::to_string(audio.channels) + " channels");
        }
    }
    encoder.time_base = AVRational{1, audio.sample_rate};
    if (audio.bit_rate > 0) {
        encoder.bit_rate = audio.bit_rate;
    }
    open_encoder(encoder, *output_);

    track.stream = &add_stream(*output_, &encoder);
    track.time_base = encoder.time_base;
    track.unit_count = std::llround(audio.duration_seconds * audio.sample_rate);
    plan_gap(track, audio.gap_from_seconds, audio.gap_to_seconds);
    track.tone_hz = audio.beeps ? kBeepHz : audio.tone_hz;
    track.tone_rise = audio.tone_rise_hz_per_second;
    track.amplitude = audio.amplitude;
    track.beeps = audio.beeps;

    const bool any_frame_size =
        encoder.frame_size <= 0 || (codec.capabilities & AV_CODEC_CAP_VARIABLE_FRAME_SIZE);
    track.frame.reset(av_frame_alloc());
    if (!track.frame) {
        av::fail("cannot allocate a frame");
    }
    track.frame->format = encoder.sample_fmt;
    track.frame->sample_rate = encoder.sample_rate;
    track.frame->nb_samples = any_frame_size ? kVariableFrameSamples : encoder.frame_size;
    av::check(av_channel_layout_copy(&track.frame->ch_layout, &encoder.ch_layout),
              "copying a channel layout");
    av::check(av_frame_get_buffer(track.frame.get(), 0), "allocating audio samples");
    tracks_.push_back(std::move(track));
}

void MediaWriter::add_data(const MediaDescription::Data& data) {
    if (data.packets_per_second <= 0 || data.duration_seconds <= 0) {
        av::fail("a data track needs a packet rate and a duration");
    }
    Track track;
    track.kind = Track::Kind::data;
    track.stream = &add_stream(*output_, nullptr);
    track.stream->codecpar->codec_type = AVMEDIA_TYPE_DATA;
    track.stream->codecpar->codec_id = AV_CODEC_ID_SMPTE_KLV;
    track.time_base = AVRational{1, data.packets_per_second};
    track.stream->time_base = track.time_base;
    track.unit_count = std::llround(data.duration_seconds * data.packets_per_second);
    tracks_.push_back(std::move(track));
}

void MediaWriter::add_cover_art(const MediaDescription::CoverArt& cover_art) {
    if (cover_art.width <= 0 || cover_art.height <= 0) {
        av::fail("cover art needs a size");
    }
    const AVCodec& codec = find_encoder(cover_art.codec, "");
    Track track;
    track.kind = Track::Kind::cover_art;
    track.encoder = allocate_encoder(codec);
    AVCodecContext& encoder = *track.encoder;
    encoder.width = cover_art.width;
    encoder.height = cover_art.height;
    encoder.pix_fmt = codec.pix_fmts != nullptr ? codec.pix_fmts[0] : AV_PIX_FMT_YUV420P;
    if (cover_art.codec == AV_CODEC_ID_MJPEG) {
        encoder.pix_fmt = AV_PIX_FMT_YUVJ420P;
    }
    encoder.time_base = AVRational{1, 1};
    open_encoder(encoder, *output_);

    track.stream = &add_stream(*output_, &encoder);
    track.stream->disposition |= AV_DISPOSITION_ATTACHED_PIC;
    track.time_base = encoder.time_base;
    track.unit_count = 1;
    track.frame = colour_bars_picture(cover_art.width, cover_art.height, encoder.pix_fmt);
    tracks_.push_back(std::move(track));
}

void MediaWriter::plan_jump(Track& track, double jump_seconds) const {
    if (jump_seconds == 0.0 || track.kind == Track::Kind::cover_art) {
        track.jump_from = track.unit_count;
        return;
    }
    track.jump_from =
        av_rescale_q_rnd(to_microseconds(longest_seconds_ / 2), kMicroseconds, track.time_base,
                         static_cast<AVRounding>(AV_ROUND_UP | AV_ROUND_PASS_MINMAX));
    track.jump_units = av_rescale_q(to_microseconds(jump_seconds), kMicroseconds, track.time_base);
}

void MediaWriter::plan_gap(Track& track, double from_seconds, double to_seconds) {
    track.gap_from = av_rescale_q(to_microseconds(from_seconds), kMicroseconds, track.time_base);
    track.gap_to = av_rescale_q(to_microseconds(to_seconds), kMicroseconds, track.time_base);
}

void MediaWriter::write() {
    if (written_) {
        av::fail("a MediaWriter writes its file once");
    }
    written_ = true;
    const std::string name = path_.string();
    if (!(output_->oformat->flags & AVFMT_NOFILE)) {
        av::check(avio_open(&output_->pb, name.c_str(), AVIO_FLAG_WRITE), "opening " + name);
    }
    av::check(avformat_write_header(output_.get(), nullptr), "writing the header of " + name);
    if (!holding_) {
        // The muxer has chosen the streams' time bases by now.
        for (Track& track : tracks_) {
            track.start_units = av_rescale_q(to_microseconds(start_seconds_), kMicroseconds,
                                             track.stream->time_base);
        }
    }

    // A player reads pictures before the sound (the MP3 muxer even waits for them).
    for (Track& track : tracks_) {
        if (track.kind == Track::Kind::cover_art) {
            write_cover_art(track);
        }
    }
    while (true) {
        Track* earliest = nullptr;
        for (Track& track : tracks_) {
            if (track.kind == Track::Kind::cover_art || track.next_unit >= track.unit_count) {
                continue;
            }
            if (earliest == nullptr ||
                av_compare_ts(track.next_unit, track.time_base, earliest->next_unit,
                              earliest->time_base) < 0) {
                earliest = &track;
            }
        }
        if (earliest == nullptr) {
            break;
        }
        write_next_unit(*earliest);
    }
    for (Track& track : tracks_) {
        if (track.encoder && track.kind != Track::Kind::cover_art) {
            encode(track, nullptr);
        }
    }
    if (holding_) {
        release_held();
    }
    av::check(av_write_trailer(output_.get()), "finishing " + name);
    if (!(output_->oformat->flags & AVFMT_NOFILE)) {
        av::check(avio_closep(&output_->pb), "closing " + name);
    }
}

void MediaWriter::write_cover_art(Track& track) {
    track.frame->pts = 0;
    av::check(avcodec_send_frame(track.encoder.get(), track.frame.get()), "encoding cover art");
    av::check(avcodec_send_frame(track.encoder.get(), nullptr), "finishing cover art");
    int pictures = 0;
    while (true) {
        const int result = avcodec_receive_packet(track.encoder.get(), packet_.get());
        if (result == AVERROR_EOF) {
            break;
        }
        av::check(result, "encoding cover art");
        if (pictures++ == 0) {
            packet_->flags |= AV_PKT_FLAG_KEY;
            mux(track, *packet_);
        } else {
            av_packet_unref(packet_.get());
        }
    }
    track.next_unit = track.unit_count;
}

void MediaWriter::write_next_unit(Track& track) {
    switch (track.kind) {
    case Track::Kind::video:
        write_video_frame(track);
        break;
    case Track::Kind::audio:
        write_audio_frame(track);
        break;
    case Track::Kind::data:
        write_data_packet(track);
        break;
    case Track::Kind::cover_art:
        break;
    }
}

void MediaWriter::write_video_frame(Track& track) {
    const std::int64_t pts = unit_pts(track, track.next_unit);
    AVFrame* frame = track.frame.get();
    switch (track.pattern) {
    case MediaDescription::Video::Pattern::colour_bars:
        break;
    case MediaDescription::Video::Pattern::flash:
        if (flash_at(av_rescale_q(pts, track.time_base, kMicroseconds))) {
            frame = track.second_frame.get();
        }
        break;
    case MediaDescription::Video::Pattern::noise:
        av::check(av_frame_make_writable(frame), "preparing a picture");
        paint_noise(*frame, track.next_unit);
        break;
    case MediaDescription::Video::Pattern::moving_bar:
        av::check(av_frame_make_writable(frame), "preparing a picture");
        paint_moving_bar(*frame, track.next_unit, track.top_field_first);
        frame->interlaced_frame = 1;
        frame->top_field_first = track.top_field_first ? 1 : 0;
        break;
    }
    frame->pts = pts;
    if (pts < track.gap_from || pts >= track.gap_to) {
        encode(track, frame);
    }
    ++track.next_unit;
}

void MediaWriter::write_audio_frame(Track& track) {
    AVFrame& frame = *track.frame;
    av::check(av_frame_make_writable(&frame), "preparing audio samples");
    // Every frame is full but the last, which the encoder pads if it must.
    frame.nb_samples = static_cast<int>(
        std::min<std::int64_t>(frame.nb_samples, track.unit_count - track.next_unit));
    if (track.next_unit >= track.gap_from && track.next_unit < track.gap_to) {
        // Not written; the sound goes on exactly where the gap ends.
        track.next_unit = std::min(track.gap_to, track.unit_count);
        return;
    }
    for (int index = 0; index < frame.nb_samples; ++index) {
        const std::int64_t sample = track.next_unit + index;
        const bool sounding =
            !track.beeps || flash_at(av_rescale(sample, 1000000, frame.sample_rate));
        // The phase of a tone that starts at tone_hz and rises evenly.
        const double seconds = static_cast<double>(sample) / frame.sample_rate;
        const double phase = 2.0 * std::numbers::pi *
                             (track.tone_hz * seconds + track.tone_rise * seconds * seconds / 2);
        const double value = sounding ? track.amplitude * std::sin(phase) : 0.0;
        for (int channel = 0; channel < frame.ch_layout.nb_channels; ++channel) {
            store_sample(frame, channel, index, value);
        }
    }
    frame.pts = track.next_unit;
    if (frame.pts < track.gap_from || frame.pts >= track.gap_to) {
        encode(track, &frame);
    }
    track.next_unit += frame.nb_samples;
}

void MediaWriter::write_data_packet(Track& track) {
    const auto payload = klv_payload(track.next_unit);
    av::check(av_new_packet(packet_.get(), static_cast<int>(payload.size())),
              "allocating a data packet");
    std::memcpy(packet_->data, payload.data(), payload.size());
    packet_->pts = track.next_unit;
    packet_->dts = packet_->pts;
    packet_->duration = 1;
    packet_->flags |= AV_PKT_FLAG_KEY;
    packet_->time_base = track.time_base;
    mux(track, *packet_);
    ++track.next_unit;
}

void MediaWriter::encode(Track& track, const AVFrame* frame) {
    const std::string what = std::string("encoding with ") + track.encoder->codec->name;
    av::check(avcodec_send_frame(track.encoder.get(), frame), what);
    while (true) {
        const int result = avcodec_receive_packet(track.encoder.get(), packet_.get());
        if (result == AVERROR(EAGAIN) || result == AVERROR_EOF) {
            return;
        }
        av::check(result, what);
        mux(track, *packet_);
    }
}

void MediaWriter::mux(Track& track, AVPacket& packet) {
    packet.stream_index = track.stream->index;
    if (packet.pts != AV_NOPTS_VALUE && packet.pts >= track.stamp_from) {
        packet.pts += track.stamp_units;
        track.stamp_from = INT64_MAX;
    }
    if (packet.dts != AV_NOPTS_VALUE && packet.dts >= track.jump_from) {
        packet.dts += track.jump_units;
        if (packet.pts != AV_NOPTS_VALUE) {
            packet.pts += track.jump_units;
        }
    }
    // The muxer may have chosen its own time base in the header.
    av_packet_rescale_ts(&packet, track.time_base, track.stream->time_base);
    packet.time_base = track.stream->time_base;
    if (holding_) {
        hold(track, packet);
    } else {
        write_packet(track, packet);
    }
}

bool MediaWriter::writes_packets(const Track& track) const {
    return track.unit_count > 0 && (track.gap_from > unit_pts(track, 0) ||
                                    track.gap_to <= unit_pts(track, track.unit_count - 1));
}

void MediaWriter::hold(Track& track, AVPacket& packet) {
    if (track.first_dts == AV_NOPTS_VALUE) {
        track.first_dts = packet.dts != AV_NOPTS_VALUE ? packet.dts : packet.pts;
    }
    av::PacketPtr held(av_packet_alloc());
    if (!held) {
        av::fail("cannot allocate a packet");
    }
    av_packet_move_ref(held.get(), &packet);
    held_.push_back(std::move(held));
    for (const Track& other : tracks_) {
        if (other.first_dts == AV_NOPTS_VALUE && writes_packets(other)) {
            return;
        }
    }
    release_held();
}

void MediaWriter::release_held() {
    holding_ = false;
    // The container would move the whole file later by the earliest first dts below 0, in
    // that stream's time base, rounded up in the others (as libavformat does).
    std::int64_t earliest = 0;
    AVRational earliest_base{1, 1};
    for (const Track& track : tracks_) {
        if (track.first_dts != AV_NOPTS_VALUE &&
            av_compare_ts(track.first_dts, track.stream->time_base, earliest, earliest_base) < 0) {
            earliest = track.first_dts;
            earliest_base = track.stream->time_base;
        }
    }
    for (Track& track : tracks_) {
        track.start_units =
            av_rescale_q(to_microseconds(start_seconds_), kMicroseconds, track.stream->time_base) +
            av_rescale_q_rnd(-earliest, earliest_base, track.stream->time_base, AV_ROUND_UP);
    }
    for (av::PacketPtr& held : held_) {
        for (Track& track : tracks_) {
            if (track.stream->index == held->stream_index) {
                write_packet(track, *held);
            }
        }
    }
    held_.clear();
}

void MediaWriter::write_packet(Track& track, AVPacket& packet) {
    if (packet.pts != AV_NOPTS_VALUE) {
        packet.pts += track.start_units;
    }
    if (packet.dts != AV_NOPTS_VALUE) {
        packet.dts += track.start_units;
    }
    // Takes the packet's contents and leaves it blank, on failure too.
    av::check(av_interleaved_write_frame(output_.get(), &packet),
              "writing a packet to " + path_.string());
}

} // namespace morvane::test
