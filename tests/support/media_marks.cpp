// SPDX-License-Identifier: GPL-3.0-or-later
// Finds the flashes and beeps of a decoded file.
#include "support/media_marks.h"

#include "support/av_error.h"
#include "support/av_handles.h"
#include "support/stream_decoder.h"

extern "C" {
#include <libavutil/pixdesc.h>
#include <libavutil/samplefmt.h>
}

#include <cmath>
#include <cstring>
#include <string>

namespace morvane::test {
namespace {

// A flash is white (235) on black (16); anything above the middle counts as lit.
constexpr int kLitLuma = 128;
// Louder than this is sound; the beeps are at half of full scale.
constexpr double kSoundLevel = 0.1;
// Quiet this long (in seconds) before a sound makes it a new beep.
constexpr double kQuietSeconds = 0.05;

double seconds_of(std::int64_t timestamp, AVRational time_base) {
    return static_cast<double>(timestamp) * av_q2d(time_base);
}

// The luma in the middle of a picture, inside any bands the conversion added.
int middle_luma(const AVFrame& frame) {
    const AVPixFmtDescriptor* descriptor =
        av_pix_fmt_desc_get(static_cast<AVPixelFormat>(frame.format));
    if (descriptor == nullptr || (descriptor->flags & AV_PIX_FMT_FLAG_RGB) ||
        descriptor->comp[0].plane != 0 || descriptor->comp[0].depth != 8 ||
        descriptor->comp[0].step != 1) {
        av::fail(std::string("cannot read the luma of pictures in ") +
                 av_get_pix_fmt_name(static_cast<AVPixelFormat>(frame.format)));
    }
    return frame.data[0][static_cast<std::ptrdiff_t>(frame.height / 2) * frame.linesize[0] +
                         frame.width / 2];
}

template <typename Sample>
Sample load(const std::uint8_t* where) {
    Sample value;
    std::memcpy(&value, where, sizeof value);
    return value;
}

// Sample `index` of the first channel, full scale 1.0, in any sample format.
double first_channel_sample(const AVFrame& frame, int index) {
    const auto format = static_cast<AVSampleFormat>(frame.format);
    const int bytes = av_get_bytes_per_sample(format);
    // Planar: the first channel has a plane of its own; packed: every channel in turn.
    const std::ptrdiff_t step =
        av_sample_fmt_is_planar(format)
            ? bytes
            : static_cast<std::ptrdiff_t>(bytes) * frame.ch_layout.nb_channels;
    const std::uint8_t* where = frame.extended_data[0] + step * index;
    switch (av_get_packed_sample_fmt(format)) {
    case AV_SAMPLE_FMT_U8:
        return (load<std::uint8_t>(where) - 128) / 128.0;
    case AV_SAMPLE_FMT_S16:
        return load<std::int16_t>(where) / 32768.0;
    case AV_SAMPLE_FMT_S32:
        return load<std::int32_t>(where) / 2147483648.0;
    case AV_SAMPLE_FMT_S64:
        return static_cast<double>(load<std::int64_t>(where)) / 9223372036854775808.0;
    case AV_SAMPLE_FMT_FLT:
        return load<float>(where);
    case AV_SAMPLE_FMT_DBL:
        return load<double>(where);
    default:
        av::fail(std::string("cannot read samples in format ") +
                 (av_get_sample_fmt_name(format) != nullptr ? av_get_sample_fmt_name(format)
                                                            : "unknown"));
    }
}

} // namespace

std::vector<double> flash_times(const std::filesystem::path& path) {
    StreamDecoder decoder(path, AVMEDIA_TYPE_VIDEO);
    av::FramePtr frame(av_frame_alloc());
    if (!frame) {
        av::fail("cannot allocate a frame");
    }
    std::vector<double> times;
    bool lit = false;
    while (decoder.next(*frame)) {
        const bool now_lit = middle_luma(*frame) > kLitLuma;
        if (now_lit && !lit && frame->best_effort_timestamp != AV_NOPTS_VALUE) {
            times.push_back(seconds_of(frame->best_effort_timestamp, decoder.stream().time_base));
        }
        lit = now_lit;
        av_frame_unref(frame.get());
    }
    return times;
}

std::vector<double> beep_times(const std::filesystem::path& path) {
    StreamDecoder decoder(path, AVMEDIA_TYPE_AUDIO);
    av::FramePtr frame(av_frame_alloc());
    if (!frame) {
        av::fail("cannot allocate a frame");
    }
    std::vector<double> times;
    // Where the first frame starts, and how many samples have been played since.
    double start_seconds = 0.0;
    std::int64_t played = 0;
    bool started = false;
    std::int64_t quiet_samples = 0;
    while (decoder.next(*frame)) {
        if (!started) {
            started = true;
            if (frame->best_effort_timestamp != AV_NOPTS_VALUE) {
                start_seconds =
                    seconds_of(frame->best_effort_timestamp, decoder.stream().time_base);
            }
        }
        const auto quiet_enough = static_cast<std::int64_t>(kQuietSeconds * frame->sample_rate);
        for (int index = 0; index < frame->nb_samples; ++index) {
            if (std::abs(first_channel_sample(*frame, index)) > kSoundLevel) {
                if (quiet_samples > quiet_enough) {
                    times.push_back(start_seconds +
                                    static_cast<double>(played + index) / frame->sample_rate);
                }
                quiet_samples = 0;
            } else {
                ++quiet_samples;
            }
        }
        played += frame->nb_samples;
        av_frame_unref(frame.get());
    }
    return times;
}

} // namespace morvane::test
