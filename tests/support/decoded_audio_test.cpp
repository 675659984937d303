// SPDX-License-Identifier: GPL-3.0-or-later
// The audio measures other tests trust to say that a tone survived a conversion.
#include "support/decoded_audio.h"

#include <cmath>
#include <gtest/gtest.h>
#include <numbers>

namespace morvane::test {
namespace {

// `seconds` of a tone between stretches of near silence, as an encoder's delay and padding
// leave it, on the second of two channels (the first stays silent).
DecodedAudio tone_between_silence(double hz, int rate, double seconds, double silence) {
    std::vector<float> samples;
    const auto quiet = static_cast<int>(silence * rate);
    const auto loud = static_cast<int>(seconds * rate);
    for (int index = 0; index < quiet * 2 + loud; ++index) {
        const bool in_tone = index >= quiet && index < quiet + loud;
        const double dither = ((index * 7919) % 11 - 5) * 0.0005;
        const double value =
            in_tone ? 0.5 * std::sin(2 * std::numbers::pi * hz * (index - quiet) / rate) : dither;
        samples.push_back(static_cast<float>(dither));
        samples.push_back(static_cast<float>(value));
    }
    return DecodedAudio(rate, 2, std::move(samples));
}

TEST(DecodedAudio, MeasuresToneAndLevelRegardlessOfSilenceAtTheEnds) {
    for (double hz : {100.0, 440.0, 1000.0, 5000.0}) {
        const DecodedAudio audio = tone_between_silence(hz, 48000, 1.0, 0.2);
        EXPECT_NEAR(audio.tone_frequency(1), hz, hz * 0.002);
        EXPECT_EQ(audio.tone_frequency(0), 0.0) << "noise below the hysteresis is no tone";
        EXPECT_NEAR(audio.seconds(), 1.4, 1e-9);
        // A sine of peak 0.5 over 1 s of the 1.4 s.
        EXPECT_NEAR(audio.rms(1), 0.5 / std::sqrt(2.0) * std::sqrt(1.0 / 1.4), 0.005);
        EXPECT_LT(audio.rms(0), 0.005);
    }
    EXPECT_THROW(tone_between_silence(440.0, 48000, 0.1, 0.0).rms(2), std::out_of_range);
    EXPECT_EQ(DecodedAudio(44100, 1, {}).tone_frequency(), 0.0);
}

} // namespace
} // namespace morvane::test
