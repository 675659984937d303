// Opening an input file and fitting its picture to the device's screen.
#include "engine/cover_art.h"
#include "engine/engine.h"
#include "engine/ffmpeg_error.h"
#include "engine/frame_size_fit.h"

extern "C" {
#include <libavutil/parseutils.h>
}

namespace morvane {

int Engine::open_input_file(TranscodeProgress& progress, const std::string& path) {
    progress.total_bytes = 0;
    progress.bytes_read = 0;
    last_error_.clear();

    if (tables_.input_files.size() >= EngineTables::max_files) {
        message("%s: too many input files\n", path.c_str());
        close_engine_files();
        return open_input_failed;
    }

    AVFormatContext* raw_context = nullptr;
    if (const int error = avformat_open_input(&raw_context, path.c_str(), nullptr, nullptr);
        error < 0) {
        last_error_ = ffmpeg_error_text(error);
        close_engine_files();
        return open_input_failed;
    }
    InputFile file;
    file.container.reset(raw_context);
    AVFormatContext* container = file.container.get();

    if (const int error = avformat_find_stream_info(container, nullptr); error < 0) {
        last_error_ = ffmpeg_error_text(error);
        message("%s: could not find codec parameters\n", path.c_str());
        close_engine_files();
        return open_input_failed;
    }

    if (container->pb != nullptr) {
        const std::int64_t size = avio_size(container->pb);
        progress.total_bytes = size > 0 ? size : 0;
    }

    std::int64_t start = options_.start_time;
    if (container->start_time != AV_NOPTS_VALUE) {
        start += container->start_time;
    }
    if (options_.start_time != 0) {
        if (av_seek_frame(container, -1, start, AVSEEK_FLAG_BACKWARD) < 0) {
            message("%s: could not seek to position %0.3f\n", path.c_str(),
                    static_cast<double>(start) / AV_TIME_BASE);
        }
        options_.start_time = 0;
    }

    for (unsigned index = 0; index < container->nb_streams; ++index) {
        AVStream* stream = container->streams[index];
        const AVCodecParameters* parameters = stream->codecpar;
        CodecContextPtr decoder(avcodec_alloc_context3(avcodec_find_decoder(parameters->codec_id)));
        if (!decoder || avcodec_parameters_to_context(decoder.get(), parameters) < 0) {
            message("%s: cannot prepare the decoder of stream %u\n", path.c_str(), index);
            close_engine_files();
            return open_input_failed;
        }
        decoder->pkt_timebase = stream->time_base;
        decoder->thread_count = options_.thread_count;

        switch (parameters->codec_type) {
        case AVMEDIA_TYPE_VIDEO: {
            if (is_cover_art(stream)) {
                break; // a still picture of the album, not video
            }
            options_.frame_width = parameters->width;
            options_.frame_height = parameters->height;
            options_.frame_pixel_format = parameters->format;
            options_.frame_sample_aspect_ratio = parameters->sample_aspect_ratio;
            const AVRational container_rate = stream->r_frame_rate;
            const AVRational codec_rate = stream->avg_frame_rate;
            if (codec_rate.num != 0 && container_rate.num != 0 &&
                av_cmp_q(codec_rate, container_rate) != 0) {
                message("\nSeems stream %u codec frame rate differs from container frame rate: "
                        "%2.2f (%d/%d) -> %2.2f (%d/%d)\n",
                        index, av_q2d(codec_rate), codec_rate.num, codec_rate.den,
                        av_q2d(container_rate), container_rate.num, container_rate.den);
            }
            options_.frame_rate = container_rate;
            if (options_.video_disable) {
                stream->discard = AVDISCARD_ALL;
            }
            break;
        }
        case AVMEDIA_TYPE_AUDIO:
            options_.audio_channels = parameters->ch_layout.nb_channels;
            options_.audio_sample_rate = parameters->sample_rate;
            if (options_.audio_disable) {
                stream->discard = AVDISCARD_ALL;
            }
            break;
        case AVMEDIA_TYPE_SUBTITLE:
            if (options_.subtitle_disable) {
                stream->discard = AVDISCARD_ALL;
            }
            break;
        default:
            break;
        }
        file.decoders.push_back(std::move(decoder));
    }

    file.ts_offset = options_.input_ts_offset - start;
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
