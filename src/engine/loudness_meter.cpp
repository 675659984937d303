// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/loudness_meter.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <type_traits>

extern "C" {
#include <libavutil/samplefmt.h>
}

namespace morvane {

namespace {

constexpr double absolute_gate = -70.0; // LUFS
constexpr double relative_gate = -10.0; // LU under the mean of the blocks over -70
constexpr double steps_per_lu = 100.0;
constexpr double loudest_kept = 10.0; // LUFS; louder blocks share the top step
constexpr int quarters_per_block = 4;
// Filter memory this close to 0 is 0: decaying through subnormal numbers after silence
// would make every sample slow.
constexpr double negligible = 1e-30;

double loudness_of(double power) {
    return -0.691 + 10.0 * std::log10(power);
}

} // namespace

LoudnessMeter::LoudnessMeter(int sample_rate, const AVChannelLayout& layout) {
    // The two stages of the K-weighting, from their analogue prototypes so that any rate has
    // them (at 48 kHz they are BS.1770's published coefficients).
    const double rate = std::max(sample_rate, 1);
    {
        const double centre = 1681.974450955533;
        const double gain_db = 3.999843853973347;
        const double q = 0.7071752369554196;
        const double k = std::tan(std::numbers::pi * centre / rate);
        const double high = std::pow(10.0, gain_db / 20.0);
        const double band = std::pow(high, 0.4996667741545416);
        const double a0 = 1.0 + k / q + k * k;
        shelf_ = {(high + band * k / q + k * k) / a0, 2.0 * (k * k - high) / a0,
                  (high - band * k / q + k * k) / a0, 2.0 * (k * k - 1.0) / a0,
                  (1.0 - k / q + k * k) / a0};
    }
    {
        const double corner = 38.13547087602444;
        const double q = 0.5003270373238773;
        const double k = std::tan(std::numbers::pi * corner / rate);
        const double a0 = 1.0 + k / q + k * k;
        high_pass_ = {1.0, -2.0, 1.0, 2.0 * (k * k - 1.0) / a0, (1.0 - k / q + k * k) / a0};
    }
    channels_.resize(static_cast<std::size_t>(std::max(layout.nb_channels, 0)));
    for (int index = 0; index < layout.nb_channels; ++index) {
        double weight = 1.0;
        switch (av_channel_layout_channel_from_index(&layout, static_cast<unsigned>(index))) {
        case AV_CHAN_LOW_FREQUENCY:
        case AV_CHAN_LOW_FREQUENCY_2:
            weight = 0.0;
            break;
        case AV_CHAN_SIDE_LEFT:
        case AV_CHAN_SIDE_RIGHT:
        case AV_CHAN_BACK_LEFT:
        case AV_CHAN_BACK_RIGHT:
            weight = 1.41;
            break;
        default:
            break;
        }
        channels_[static_cast<std::size_t>(index)].weight = weight;
    }
    quarter_length_ = std::max(sample_rate / 10, 1);
    const auto steps = static_cast<std::size_t>((loudest_kept - absolute_gate) * steps_per_lu);
    block_counts_.assign(steps, 0);
    block_powers_.assign(steps, 0.0);
}

void LoudnessMeter::add(const AVFrame& frame) {
    if (frame.ch_layout.nb_channels != static_cast<int>(channels_.size()) || channels_.empty()) {
        return;
    }
    const auto format = static_cast<AVSampleFormat>(frame.format);
    const bool planar = av_sample_fmt_is_planar(format) != 0;
    switch (av_get_packed_sample_fmt(format)) {
    case AV_SAMPLE_FMT_U8:
        add_samples<std::uint8_t>(frame, planar, 1.0 / 128.0);
        break;
    case AV_SAMPLE_FMT_S16:
        add_samples<std::int16_t>(frame, planar, 1.0 / 32768.0);
        break;
    case AV_SAMPLE_FMT_S32:
        add_samples<std::int32_t>(frame, planar, 1.0 / 2147483648.0);
        break;
    case AV_SAMPLE_FMT_S64:
        add_samples<std::int64_t>(frame, planar, 1.0 / 9223372036854775808.0);
        break;
    case AV_SAMPLE_FMT_FLT:
        add_samples<float>(frame, planar, 1.0);
        break;
    case AV_SAMPLE_FMT_DBL:
        add_samples<double>(frame, planar, 1.0);
        break;
    default:
        break;
    }
}

template <typename Sample>
void LoudnessMeter::add_samples(const AVFrame& frame, bool planar, double scale) {
    const std::size_t channels = channels_.size();
    const std::size_t stride = planar ? 1 : channels;
    // A run of samples up to the end of the current 100 ms step, channel by channel.
    for (int first = 0; first < frame.nb_samples;) {
        const int run = std::min(frame.nb_samples - first, quarter_length_ - quarter_filled_);
        for (std::size_t channel = 0; channel < channels; ++channel) {
            const auto* samples =
                reinterpret_cast<const Sample*>(frame.extended_data[planar ? channel : 0]) +
                static_cast<std::size_t>(first) * stride + (planar ? 0 : channel);
            for (int index = 0; index < run; ++index) {
                double value =
                    static_cast<double>(samples[static_cast<std::size_t>(index) * stride]);
                if constexpr (std::is_same_v<Sample, std::uint8_t>) {
                    value -= 128.0;
                }
                add_sample(channels_[channel], value * scale);
            }
        }
        first += run;
        quarter_filled_ += run;
        if (quarter_filled_ == quarter_length_) {
            close_quarter();
        }
    }
}

void LoudnessMeter::add_sample(ChannelState& channel, double sample) {
    // Two biquads, transposed direct form II.
    std::array<double, 4>& z = channel.history;
    const double shelved = shelf_.b0 * sample + z[0];
    z[0] = shelf_.b1 * sample - shelf_.a1 * shelved + z[1];
    z[1] = shelf_.b2 * sample - shelf_.a2 * shelved;
    const double weighted = high_pass_.b0 * shelved + z[2];
    z[2] = high_pass_.b1 * shelved - high_pass_.a1 * weighted + z[3];
    z[3] = high_pass_.b2 * shelved - high_pass_.a2 * weighted;
    channel.quarter_sums[static_cast<std::size_t>(quarter_)] += weighted * weighted;
}

void LoudnessMeter::close_quarter() {
    quarter_filled_ = 0;
    quarters_seen_ = std::min(quarters_seen_ + 1, quarters_per_block);
    if (quarters_seen_ == quarters_per_block) {
        double power = 0.0;
        for (const ChannelState& channel : channels_) {
            double sum = 0.0;
            for (double quarter : channel.quarter_sums) {
                sum += quarter;
            }
            power += channel.weight * sum / (quarters_per_block * quarter_length_);
        }
        const double loudness = power > 0.0 ? loudness_of(power) : absolute_gate;
        if (loudness > absolute_gate) {
            const auto step = std::clamp<std::size_t>(
                static_cast<std::size_t>((loudness - absolute_gate) * steps_per_lu), 0,
                block_counts_.size() - 1);
            ++block_counts_[step];
            block_powers_[step] += power;
        }
    }
    quarter_ = (quarter_ + 1) % quarters_per_block;
    for (ChannelState& channel : channels_) {
        channel.quarter_sums[static_cast<std::size_t>(quarter_)] = 0.0;
        for (double& memory : channel.history) {
            if (std::abs(memory) < negligible) {
                memory = 0.0;
            }
        }
    }
}

std::optional<double> LoudnessMeter::integrated() const {
    const auto mean_from = [this](std::size_t first) -> std::optional<double> {
        std::uint64_t blocks = 0;
        double power = 0.0;
        for (std::size_t step = first; step < block_counts_.size(); ++step) {
            blocks += block_counts_[step];
            power += block_powers_[step];
        }
        if (blocks == 0) {
            return std::nullopt;
        }
        return loudness_of(power / static_cast<double>(blocks));
    };
    const std::optional<double> ungated = mean_from(0);
    if (!ungated) {
        return std::nullopt;
    }
    const double gate = std::max(*ungated + relative_gate, absolute_gate);
    // The step holding the gate is counted whole: its blocks lie within 0.01 LU of it.
    return mean_from(static_cast<std::size_t>((gate - absolute_gate) * steps_per_lu));
}

} // namespace morvane
