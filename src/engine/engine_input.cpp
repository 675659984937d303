// Opening an input file and fitting its displayed picture to the device's screen.
#include "engine/display_shape.h"
#include "engine/engine.h"
#include "engine/frame_size_fit.h"

extern "C" {
#include <libavutil/parseutils.h>
}

namespace morvane {

int Engine::open_input_file(TranscodeProgress& progress, const std::string& path) {
    progress.total_bytes = 0;
    progress.bytes_read = 0;
    last_error_.clear();

    int result = 0;
    InputFile file;
    if (!tables_.input_files.empty()) {
        message("%s: an input file is already open\n", path.c_str());
        result = AVERROR(EBUSY);
    }
    if (result >= 0) {
        AVFormatContext* raw_context = nullptr;
        result = avformat_open_input(&raw_context, path.c_str(), nullptr, nullptr);
        file.container.reset(raw_context);
    }
    if (result >= 0) {
        result = avformat_find_stream_info(file.container.get(), nullptr);
        if (result < 0) {
            message("%s: could not find codec parameters\n", path.c_str());
        }
    }
    if (result < 0) {
        set_error(result);
        close_engine_files();
        return open_input_failed;
    }

    AVFormatContext* container = file.container.get();
    if (container->pb != nullptr) {
        const std::int64_t size = avio_size(container->pb);
        progress.total_bytes = size > 0 ? size : 0;
    }
    file.streams = choose_streams(*container);
    if (options_.video_disable) {
        file.streams.video = -1;
    }
    if (file.streams.video >= 0) {
        const AVStream* stream = container->streams[file.streams.video];
        const DisplayShape shape = display_shape(*stream);
        options_.frame_width = shape.width;
        options_.frame_height = shape.height;
        options_.frame_pixel_format = stream->codecpar->format;
        options_.frame_rate = stream->r_frame_rate;
    }
    if (file.streams.audio >= 0) {
        const AVCodecParameters* audio = container->streams[file.streams.audio]->codecpar;
        options_.audio_channels = audio->ch_layout.nb_channels;
        options_.audio_sample_rate = audio->sample_rate;
    }
    // The engine's clock starts at the file's first timestamp.
    file.ts_offset = container->start_time != AV_NOPTS_VALUE ? -container->start_time : 0;
    tables_.input_files.push_back(std::move(file));
    return 0;
}

int Engine::set_frame_size_fit(const std::string& size_text) {
    int target_width = 0;
    int target_height = 0;
    if (av_parse_video_size(&target_width, &target_height, size_text.c_str()) < 0) {
        message("Incorrect frame size\n");
        return 1;
    }
    const FrameSizeFit fit =
        fit_frame_size(options_.frame_width, options_.frame_height, target_width, target_height);
    if (fit.pads_valid) {
        options_.pad_left = fit.pad_left;
        options_.pad_right = fit.pad_right;
        options_.pad_top = fit.pad_top;
        options_.pad_bottom = fit.pad_bottom;
    }
    options_.frame_width = fit.width;
    options_.frame_height = fit.height;
    return 0;
}

} // namespace morvane
