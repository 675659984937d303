// SPDX-License-Identifier: GPL-3.0-or-later
// The integrated loudness of a sound (ITU-R BS.1770-4, EBU R 128), measured on the frames as
// they go to the encoder: K-weighted, in 400 ms blocks every 100 ms, gated at -70 LUFS and
// 10 LU under the ungated mean. FFmpeg's ebur128 filter measures the same but also keeps the
// momentary, short-term and range figures for every sample, which cost a tenth of an MP3
// conversion; and a meter outside the filter graph spans a graph rebuilt midway.
//
// Memory is fixed whatever the length: the gated blocks are kept in a histogram of
// 0.01 LU steps holding each step's summed power, so that the gate's step alone is rounded.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/frame.h>
}

namespace morvane {

class LoudnessMeter {
public:
    LoudnessMeter(int sample_rate, const AVChannelLayout& layout);

    // A frame of this rate and layout, in any of FFmpeg's sample formats.
    void add(const AVFrame& frame);
    // LUFS; nothing when no block was louder than -70 LUFS (silence, or under 0.4 s).
    std::optional<double> integrated() const;

private:
    struct Biquad {
        double b0, b1, b2, a1, a2;
    };
    struct ChannelState {
        double weight = 1.0;                  // 0 for the low-frequency effects channel
        std::array<double, 4> history{};      // of the two filters: z1, z2 of each
        std::array<double, 4> quarter_sums{}; // mean squares of the last four 100 ms steps
    };
    template <typename Sample>
    void add_samples(const AVFrame& frame, bool planar, double scale);
    void add_sample(ChannelState& channel, double sample);
    // A 100 ms step is whole: the 400 ms block ending there is counted.
    void close_quarter();

    Biquad shelf_{};
    Biquad high_pass_{};
    std::vector<ChannelState> channels_;
    int quarter_length_ = 0; // samples in 100 ms
    int quarter_filled_ = 0;
    int quarter_ = 0; // index into quarter_sums of the step being filled
    int quarters_seen_ = 0;
    // Blocks over the absolute gate, by loudness in 0.01 LU steps from -70 LUFS up.
    std::vector<std::uint32_t> block_counts_;
    std::vector<double> block_powers_;
};

} // namespace morvane
