// Opening an input file and fitting its displayed picture to the device's screen. An input is
// read as a plain file that holds its own media: a "song" must not pull other files on this
// computer into an output.
#include "engine/display_shape.h"
#include "engine/engine.h"
#include "engine/ffmpeg_error.h"
#include "engine/frame_size_fit.h"

#include <cstring>

extern "C" {
#include <libavutil/avstring.h>
#include <libavutil/parseutils.h>
}

namespace morvane {

namespace {

// Demuxers that read other files, or network sessions, named inside the input.
struct RefusedFormat {
    const char* demuxer;
    const char* what;
};
constexpr RefusedFormat refused_formats[] = {
    {"hls", "a playlist that names other files"},
    {"dash", "a playlist that names other files"},
    {"concat", "a list of other files"},
    {"imf", "a composition that names other files"},
    {"vobsub", "subtitles that name another file"},
    {"sdp", "a network session description"},
    {"rtsp", "a network session description"},
    {"rtp", "a network session description"},
    {"sap", "a network session description"},
};

const RefusedFormat* refusal_of(const AVInputFormat& format) {
    for (const RefusedFormat& refused : refused_formats) {
        if (std::strcmp(format.name, refused.demuxer) == 0) {
            return &refused;
        }
    }
    return nullptr;
}

// A demuxer opening something while reading: only the input itself is allowed (a single
// picture is read this way); anything else it names is refused, and the refusal noted.
int open_only_the_input(AVFormatContext* context, AVIOContext** io, const char* url, int flags,
                        AVDictionary** options) {
    const char* name = url;
    av_strstart(url, "file:", &name);
    if ((flags & AVIO_FLAG_WRITE) || context->url == nullptr ||
        std::strcmp(name, context->url) != 0) {
        *static_cast<bool*>(context->opaque) = true;
        return AVERROR(EPERM);
    }
    AVDictionary* file_only = nullptr;
    av_dict_copy(&file_only, options != nullptr ? *options : nullptr, 0);
    av_dict_set(&file_only, "protocol_whitelist", "file", 0);
    const std::string file_url = std::string("file:") + name;
    const int result =
        avio_open2(io, file_url.c_str(), flags, &context->interrupt_callback, &file_only);
    av_dict_free(&file_only);
    return result;
}

} // namespace

int Engine::open_input_file(TranscodeProgress& progress, const std::string& path) {
    progress = TranscodeProgress{progress.callback, 0, 0, 0, 0, 0, progress.last_percent};
    last_error_.clear();
    if (!tables_.input_files.empty()) {
        message("%s: an input file is already open\n", path.c_str());
        last_error_ = ffmpeg_error_text(AVERROR(EBUSY));
        return open_input_failed;
    }
    const int result = open_input_container(path);
    if (result < 0) {
        if (last_error_.empty()) {
            set_error(result);
        }
        close_engine_files();
        return open_input_failed;
    }

    InputFile& file = tables_.input_files.front();
    AVFormatContext* container = file.container.get();
    const std::int64_t size = avio_size(file.io.get());
    progress.total_bytes = size > 0 ? size : 0;
    progress.duration = container->duration > 0 ? container->duration : 0;
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
    return 0;
}

int Engine::open_input_container(const std::string& path) {
    InputFile& file = tables_.input_files.emplace_back();
    // The file protocol, whatever the name looks like ("concat:a|b", "http:x.mp3").
    AVDictionary* file_only = nullptr;
    av_dict_set(&file_only, "protocol_whitelist", "file", 0);
    AVIOContext* raw_io = nullptr;
    int result = avio_open2(&raw_io, ("file:" + path).c_str(), AVIO_FLAG_READ, nullptr, &file_only);
    av_dict_free(&file_only);
    file.io.reset(raw_io);
    if (result < 0) {
        return result;
    }
    // What the file is, known before any demuxer reads its header.
    const AVInputFormat* format = nullptr;
    result = av_probe_input_buffer2(file.io.get(), &format, path.c_str(), nullptr, 0, 0);
    if (result < 0) {
        return result;
    }
    if (const RefusedFormat* refused = refusal_of(*format)) {
        last_error_ = std::string("refused: ") + refused->what + " (" + format->name + ")";
        return AVERROR(EPERM);
    }

    AVFormatContext* context = avformat_alloc_context();
    if (context == nullptr) {
        return AVERROR(ENOMEM);
    }
    other_file_refused_ = false;
    context->pb = file.io.get();
    context->io_open = open_only_the_input;
    context->opaque = &other_file_refused_;
    AVDictionary* options = nullptr;
    av_dict_set(&options, "protocol_whitelist", "file", 0);
    // On failure the context is freed and the pointer cleared.
    result = avformat_open_input(&context, path.c_str(), nullptr, &options);
    av_dict_free(&options);
    file.container.reset(context);
    if (result >= 0) {
        // The first pictures are decoded here already: the bound holds from the start.
        std::vector<AVDictionary*> stream_options(file.container->nb_streams, nullptr);
        for (AVDictionary*& stream : stream_options) {
            av_dict_set_int(&stream, "max_pixels", options_.max_pixels, 0);
        }
        result = avformat_find_stream_info(file.container.get(), stream_options.data());
        for (AVDictionary*& stream : stream_options) {
            av_dict_free(&stream);
        }
        if (result < 0) {
            message("%s: could not find codec parameters\n", path.c_str());
        }
    }
    if (result < 0 && other_file_refused_) {
        const char* name = format != nullptr ? format->name : "?";
        last_error_ = std::string("refused: it names other files to read (") + name + ")";
    }
    return result;
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
