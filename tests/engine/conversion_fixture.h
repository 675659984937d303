// SPDX-License-Identifier: GPL-3.0-or-later
// A temporary folder, an engine, and a sink that records every progress report: what each
// conversion test starts from. The plans are those the job makes for a film player's row and
// for a song.
#pragma once

#include "engine/engine.h"
#include "engine/frame_size_fit.h"
#include "engine/progress_sink.h"
#include "support/temp_folder.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace morvane::test {

class RecordingSink : public ProgressSink {
public:
    struct Report {
        int percent;
        std::chrono::steady_clock::time_point when;
    };

    explicit RecordingSink(std::chrono::microseconds interval = std::chrono::milliseconds(1))
        : ProgressSink(interval) {}

    bool on_progress(int percent) override {
        reports.push_back({percent, std::chrono::steady_clock::now()});
        return answer ? answer(percent) : true;
    }

    std::vector<Report> reports;
    std::function<bool(int)> answer; // empty: always go on
};

class ConversionTest : public testing::Test {
protected:
    using PlanOf = std::function<ConversionPlan(const MediaInput&)>;

    // Opens `input`, describes the output with `plan_of` and converts into `output`.
    ConversionResult convert(const std::filesystem::path& input,
                             const std::filesystem::path& output, const PlanOf& plan_of) {
        MediaInput opened;
        if (const auto error = opened.open(input.string())) {
            ADD_FAILURE() << input << ": " << *error;
            return {};
        }
        return engine.convert(opened, output.string(), plan_of(opened), &sink);
    }

    // A film player's row: the picture fitted into `width` x `height` between black borders,
    // MPEG-4 at 29.97 fps within the players' limits, AAC stereo at the source's rate up to the
    // rows' 48 kHz (silence without sound).
    static ConversionPlan film(const MediaInput& input, int width = 320, int height = 240) {
        ConversionPlan plan;
        plan.container = "mp4";
        if (const auto source = input.picture()) {
            const FrameSizeFit fit = fit_frame_size(source->width, source->height, width, height);
            ConversionPlan::Picture& picture = plan.picture.emplace();
            picture.encoder = {"mpeg4",
                               {{"b", "1500000"},
                                {"maxrate", "2500000"},
                                {"bufsize", "250000"},
                                {"g", "60"},
                                {"threads", "1"}}};
            picture.frame_width = width;
            picture.frame_height = height;
            picture.picture_width = fit.width;
            picture.picture_height = fit.height;
            picture.left = fit.pad_left;
            picture.top = fit.pad_top;
        }
        ConversionPlan::Sound& sound = plan.sound.emplace();
        sound.encoder.name = "aac";
        sound.channels = 2;
        sound.sample_rate = input.sound() ? std::min(input.sound()->sample_rate, 48000) : 44100;
        sound.silence = !input.sound();
        return plan;
    }

    // A song: MP3 in the source's shape, unless a rate or channel count is asked for.
    static ConversionPlan song(const MediaInput& input, int sample_rate = 0, int channels = 0) {
        ConversionPlan plan;
        plan.container = "mp3";
        ConversionPlan::Sound& sound = plan.sound.emplace();
        sound.encoder.name = "libmp3lame";
        sound.sample_rate = sample_rate > 0 ? sample_rate : input.sound()->sample_rate;
        sound.channels = channels > 0 ? channels : input.sound()->channels;
        return plan;
    }

    static bool converted(const ConversionResult& result) {
        return result.status == ConversionResult::Status::converted;
    }

    // convert() that ends converted, or why not.
    testing::AssertionResult converts(const std::filesystem::path& input,
                                      const std::filesystem::path& output, const PlanOf& plan_of) {
        const ConversionResult result = convert(input, output, plan_of);
        if (converted(result)) {
            return testing::AssertionSuccess();
        }
        return testing::AssertionFailure() << "not converted: " << result.reason;
    }

    // The iPod nano's film of an input.
    static ConversionPlan nano_film(const MediaInput& input) { return film(input); }

    TempFolder folder;
    Engine engine;
    RecordingSink sink;
};

} // namespace morvane::test
