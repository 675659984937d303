// A temporary folder, an engine whose diagnostics are kept, and a sink that records every
// progress report: what each conversion test starts from.
#pragma once

#include "engine/conver_callback.h"
#include "engine/engine.h"
#include "support/temp_folder.h"

#include <chrono>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace morvane::test {

class RecordingSink : public CConverCallback {
public:
    struct Report {
        int percent;
        std::chrono::steady_clock::time_point when;
    };

    bool on_progress(int percent) override {
        reports.push_back({percent, std::chrono::steady_clock::now()});
        return answer ? answer(percent) : true;
    }

    std::vector<Report> reports;
    std::function<bool(int)> answer; // empty: always go on
};

class ConversionTest : public testing::Test {
protected:
    ConversionTest() {
        engine.set_message_sink([this](std::string_view line) { messages += line; });
        engine.reset_engine(progress);
    }

    // What the job runner sets for a video player after opening the input.
    void set_video_player_options(const char* size, int bit_rate = 1500000) {
        engine.options().video_bit_rate = bit_rate;
        engine.set_frame_rate_preset(3);
        ASSERT_EQ(engine.set_frame_size_fit(size), 0);
        engine.options().video_codec_override = AV_CODEC_ID_MPEG4;
        engine.options().audio_codec_override = AV_CODEC_ID_AAC;
        engine.options().audio_channels = 2;
    }

    // Opens, configures through `configure`, converts and closes; returns transcode's result.
    int convert(const std::filesystem::path& input, const std::filesystem::path& output,
                const std::function<void()>& configure) {
        EXPECT_EQ(engine.open_input_file(progress, input.string()), 0) << messages;
        configure();
        EXPECT_EQ(engine.open_output_file(output.string()), 0) << messages;
        progress.callback = &sink;
        const int result = engine.transcode(progress);
        engine.close_engine_files();
        return result;
    }

    TempFolder folder;
    Engine engine;
    TranscodeProgress progress;
    RecordingSink sink;
    std::string messages;
};

} // namespace morvane::test
