// SPDX-License-Identifier: GPL-3.0-or-later
// One audio stream decoded whole to interleaved float samples at its own rate, for tests that
// check length, level and that a tone survived conversion.
#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

namespace morvane::test {

class DecodedAudio {
public:
    DecodedAudio(int sample_rate, int channels, std::vector<float> samples);

    int sample_rate() const { return sample_rate_; }
    int channels() const { return channels_; }
    // Interleaved, full scale 1.0.
    const std::vector<float>& samples() const { return samples_; }
    // Samples per channel.
    std::int64_t frame_count() const;
    double seconds() const;

    // Root mean square of one channel.
    double rms(int channel = 0) const;
    // The frequency of a tone from its rising zero crossings, counted between the first and
    // the last so that silence at either end (encoder delay) does not matter; a small
    // hysteresis keeps near-silent noise from counting. 0 when there is no tone.
    double tone_frequency(int channel = 0) const;

private:
    float sample(std::int64_t frame, int channel) const;

    int sample_rate_;
    int channels_;
    std::vector<float> samples_;
};

// Decodes every frame of the `audio_track`-th audio stream (0: the first). Throws
// std::runtime_error when the file has no such stream or it cannot be decoded.
DecodedAudio decode_audio(const std::filesystem::path& path, int audio_track = 0);

} // namespace morvane::test
