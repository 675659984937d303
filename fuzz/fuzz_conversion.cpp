#include "fuzz_conversion.h"

#include "engine/engine.h"

#include <cstdio>

namespace morvane::fuzz {

namespace {

struct Row {
    const char* output_name;
    bool video_player;
};

// What the job sets for the row, after the input is open.
void set_row_options(Engine& engine, const Row& row, std::int64_t recording_time) {
    EngineOptions& options = engine.options();
    options.recording_time = recording_time;
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

} // namespace

void convert_for_fuzzing(const std::filesystem::path& input,
                         const std::filesystem::path& work_folder, std::int64_t recording_time) {
    for (const Row& row : {Row{"out.mp4", true}, Row{"out.mp3", false}}) {
        Engine engine;
        engine.set_message_sink([](std::string_view) {});
        TranscodeProgress progress;
        engine.reset_engine(progress);
        if (engine.open_input_file(progress, input.string()) != 0) {
            return;
        }
        set_row_options(engine, row, recording_time);
        const std::string output = (work_folder / row.output_name).string();
        if (engine.open_output_file(output) == 0) {
            engine.transcode(progress);
        }
        engine.close_engine_files();
        std::remove(output.c_str());
    }
}

} // namespace morvane::fuzz
