// libFuzzer target: one input file, made of the fuzzer's bytes, converted for the iPod nano
// (MP4, MPEG-4 video in bands, AAC) and for the iPod Shuffle (MP3). Whatever the bytes, the
// engine must neither crash nor hang; failing is fine.
#include "engine/engine.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <unistd.h>

extern "C" {
#include <libavutil/log.h>
}

namespace {

using morvane::Engine;
using morvane::TranscodeProgress;

struct Row {
    const char* output_name;
    bool video_player;
};

// What the job sets for the row, after the input is open.
void set_row_options(Engine& engine, const Row& row) {
    morvane::EngineOptions& options = engine.options();
    if (row.video_player) {
        options.video_bit_rate = 1500000;
        engine.set_frame_rate_preset(3);
        engine.set_frame_size_fit("320x240");
        options.video_codec_override = AV_CODEC_ID_MPEG4;
        options.audio_codec_override = AV_CODEC_ID_AAC;
        options.audio_channels = 2;
    } else {
        options.video_disable = true;
        options.audio_codec_override = AV_CODEC_ID_MP3;
    }
}

const std::filesystem::path& work_folder() {
    static const std::filesystem::path folder = [] {
        std::filesystem::path path = std::filesystem::temp_directory_path() /
                                     ("morvane-fuzz-" + std::to_string(::getpid()));
        std::filesystem::create_directories(path);
        return path;
    }();
    return folder;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const bool quiet = [] {
        av_log_set_level(AV_LOG_QUIET);
        return true;
    }();
    (void)quiet;
    const std::string input = (work_folder() / "input").string();
    if (std::FILE* file = std::fopen(input.c_str(), "wb")) {
        const bool written = std::fwrite(data, 1, size, file) == size;
        if (std::fclose(file) != 0 || !written) {
            return 0;
        }
    } else {
        return 0;
    }
    for (const Row& row : {Row{"out.mp4", true}, Row{"out.mp3", false}}) {
        Engine engine;
        engine.set_message_sink([](std::string_view) {});
        TranscodeProgress progress;
        engine.reset_engine(progress);
        if (engine.open_input_file(progress, input) != 0) {
            return 0;
        }
        set_row_options(engine, row);
        const std::string output = (work_folder() / row.output_name).string();
        if (engine.open_output_file(output) == 0) {
            engine.transcode(progress);
        }
        engine.close_engine_files();
        std::remove(output.c_str());
    }
    return 0;
}
