// Engine life cycle: options, the open-file tables, and the diagnostic channel.
#include "engine/engine.h"

#include <cstdarg>
#include <cstdio>

namespace morvane {

Engine::Engine()
    : message_sink_(
          [](std::string_view line) { std::fwrite(line.data(), 1, line.size(), stderr); }),
      packet_(av_packet_alloc()), encoded_packet_(av_packet_alloc()),
      decoded_frame_(av_frame_alloc()) {}

Engine::~Engine() {
    close_engine_files();
}

void Engine::set_message_sink(MessageSink sink) {
    message_sink_ = std::move(sink);
}

void Engine::vmessage(const char* format, va_list arguments) {
    char line[2048];
    const int length = std::vsnprintf(line, sizeof line, format, arguments);
    if (length > 0) {
        const auto size = std::min(static_cast<std::size_t>(length), sizeof line - 1);
        message_sink_(std::string_view(line, size));
    }
}

void Engine::message(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    vmessage(format, arguments);
    va_end(arguments);
}

int Engine::fail(int result, const char* format, ...) {
    if (format != nullptr) {
        va_list arguments;
        va_start(arguments, format);
        if (last_error_.empty()) {
            va_list copy;
            va_copy(copy, arguments);
            char line[512];
            std::vsnprintf(line, sizeof line, format, copy);
            va_end(copy);
            last_error_ = line;
            if (!last_error_.empty() && last_error_.back() == '\n') {
                last_error_.pop_back();
            }
        }
        vmessage(format, arguments);
        va_end(arguments);
    }
    close_engine_files();
    return result;
}

bool Engine::reset_engine(TranscodeProgress& progress) {
    progress.callback = nullptr;
    progress.last_percent = -1;
    close_engine_files();
    options_ = EngineOptions{};
    tables_.video_bytes_written = 0;
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

void Engine::close_engine_files() {
    release_transcode_records();
    tables_.output_files.clear();
    tables_.input_files.clear();
    options_.video_codec_override = AV_CODEC_ID_NONE;
    options_.audio_codec_override = AV_CODEC_ID_NONE;
}

void Engine::release_transcode_records() {
    tables_.output_streams.clear();
    tables_.input_streams.clear();
    tables_.input_file_records.clear();
}

} // namespace morvane
