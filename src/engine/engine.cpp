// Engine life cycle: options, the open-file tables, failure reasons and diagnostics.
#include "engine/engine.h"

#include "engine/ffmpeg_error.h"
#include "engine/pipeline_thread.h"
#include "engine/silent_track.h"
#include "engine/stream_pipeline.h"

#include <cstdarg>
#include <cstdio>

namespace morvane {

Engine::Engine()
    : message_sink_(
          [](std::string_view line) { std::fwrite(line.data(), 1, line.size(), stderr); }),
      packet_muxer_(av_interleaved_write_frame), packet_(av_packet_alloc()) {}

Engine::~Engine() {
    close_engine_files();
}

void Engine::set_message_sink(MessageSink sink) {
    message_sink_ = std::move(sink);
}

void Engine::set_packet_muxer(PacketMuxer muxer) {
    packet_muxer_ = std::move(muxer);
}

void Engine::message(const char* format, ...) {
    char line[2048];
    va_list arguments;
    va_start(arguments, format);
    const int length = std::vsnprintf(line, sizeof line, format, arguments);
    va_end(arguments);
    if (length > 0) {
        const std::lock_guard lock(message_mutex_);
        const auto size = std::min(static_cast<std::size_t>(length), sizeof line - 1);
        message_sink_(std::string_view(line, size));
    }
}

void Engine::set_error(int error_code) {
    last_error_ = ffmpeg_error_text(error_code);
}

bool Engine::reset_engine(TranscodeProgress& progress) {
    progress.callback = nullptr;
    progress.last_percent = -1;
    close_engine_files();
    options_ = EngineOptions{};
    last_error_.clear();
    return true;
}

void Engine::set_frame_rate_preset(int preset) {
    static constexpr AVRational presets[] = {
        {25, 1}, {30000, 1001}, {25, 1}, {30000, 1001}, {24, 1}, {24000, 1001},
    };
    if (preset >= 0 && preset < static_cast<int>(std::size(presets))) {
        options_.frame_rate = presets[preset];
    }
}

void Engine::release_pipelines() {
    sound_thread_.reset(); // stopped before the pipeline it runs
    pipelines_.clear();    // before the encoders they feed
    silent_track_.reset();
}

void Engine::close_engine_files() {
    release_pipelines();
    tables_.output_files.clear();
    tables_.input_files.clear();
    options_.video_codec_override = AV_CODEC_ID_NONE;
    options_.audio_codec_override = AV_CODEC_ID_NONE;
}

} // namespace morvane
