// SPDX-License-Identifier: GPL-3.0-or-later
// The loudness meter against the reference figures of EBU Tech 3341 (a 1 kHz sine at
// -23 dBFS on both channels reads -23.0 LUFS; quiet passages fall under the gates), at the
// rates and sample formats the encoders take, and the weights of a 5.1 layout.
#include "engine/ffmpeg_ptr.h"
#include "engine/loudness_meter.h"

#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>
#include <numbers>
#include <optional>
#include <vector>

extern "C" {
#include <libavutil/samplefmt.h>
}

namespace morvane {
namespace {

struct Passage {
    double seconds;
    double dbfs; // of a 1 kHz sine, peak
};

struct MeterCase {
    const char* name;
    int rate;
    AVSampleFormat format;
    AVChannelLayout layout;
    std::vector<int> sounding; // channels that carry the sine; the others are silent
    std::vector<Passage> passages;
    std::optional<double> lufs;
};

// Feeds the passages in frames of 1152 samples, as the MP3 encoder takes them.
std::optional<double> measure(const MeterCase& row) {
    LoudnessMeter meter(row.rate, row.layout);
    FramePtr frame(av_frame_alloc());
    std::int64_t sample = 0;
    for (const Passage& passage : row.passages) {
        const double amplitude = std::pow(10.0, passage.dbfs / 20.0);
        auto left = static_cast<std::int64_t>(passage.seconds * row.rate);
        while (left > 0) {
            av_frame_unref(frame.get());
            frame->format = row.format;
            frame->sample_rate = row.rate;
            frame->nb_samples = static_cast<int>(std::min<std::int64_t>(left, 1152));
            av_channel_layout_copy(&frame->ch_layout, &row.layout);
            EXPECT_EQ(av_frame_get_buffer(frame.get(), 0), 0);
            av_samples_set_silence(frame->extended_data, 0, frame->nb_samples,
                                   row.layout.nb_channels, row.format);
            for (int index = 0; index < frame->nb_samples; ++index, ++sample) {
                const double value =
                    amplitude * std::sin(2.0 * std::numbers::pi * 1000.0 * sample / row.rate);
                for (int channel : row.sounding) {
                    if (row.format == AV_SAMPLE_FMT_FLTP) {
                        reinterpret_cast<float*>(frame->extended_data[channel])[index] =
                            static_cast<float>(value);
                    } else { // S16, packed
                        reinterpret_cast<std::int16_t*>(
                            frame->extended_data[0])[index * row.layout.nb_channels + channel] =
                            static_cast<std::int16_t>(std::lround(value * 32767.0));
                    }
                }
            }
            meter.add(*frame);
            left -= frame->nb_samples;
        }
    }
    return meter.integrated();
}

TEST(LoudnessMeter, ReadsTheReferenceFiguresAtEveryRateAndFormat) {
    const AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
    const AVChannelLayout surround = AV_CHANNEL_LAYOUT_5POINT1_BACK;
    const AVSampleFormat fltp = AV_SAMPLE_FMT_FLTP;
    const double back_left = -23.0 - 10 * std::log10(2.0) + 10 * std::log10(1.41);
    const MeterCase rows[] = {
        {"48 kHz", 48000, fltp, stereo, {0, 1}, {{20, -23}}, -23.0},
        {"44.1 kHz s16", 44100, AV_SAMPLE_FMT_S16, stereo, {0, 1}, {{20, -33}}, -33.0},
        {"22.05 kHz", 22050, fltp, stereo, {0, 1}, {{20, -23}}, -23.0},
        // The quiet passages fall under the absolute or the relative gate.
        {"gated", 48000, fltp, stereo, {0, 1}, {{10, -72}, {10, -36}, {60, -23}, {10, -36}}, -23},
        // The LFE is not counted; a back channel weighs 1.41 (+1.5 dB).
        {"LFE", 48000, fltp, surround, {0, 1, 3}, {{20, -23}}, -23.0},
        {"back left", 48000, fltp, surround, {4}, {{20, -23}}, back_left},
        {"under -70 LUFS", 48000, fltp, stereo, {0, 1}, {{20, -75}}, std::nullopt},
        {"0.3 s", 48000, fltp, stereo, {0, 1}, {{0.3, -23}}, std::nullopt},
    };
    for (const MeterCase& row : rows) {
        const std::optional<double> lufs = measure(row);
        ASSERT_EQ(lufs.has_value(), row.lufs.has_value()) << row.name;
        if (lufs) {
            EXPECT_NEAR(*lufs, *row.lufs, 0.1) << row.name;
        }
    }
}

} // namespace
} // namespace morvane
