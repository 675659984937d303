// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/media_input.h"

#include "engine/display_shape.h"
#include "engine/ffmpeg_error.h"

#include <cstring>
#include <vector>

extern "C" {
#include <libavutil/avstring.h>
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

std::optional<std::string> MediaInput::open(const std::string& path) {
    // The file protocol, whatever the name looks like ("concat:a|b", "http:x.mp3").
    AVDictionary* file_only = nullptr;
    av_dict_set(&file_only, "protocol_whitelist", "file", 0);
    AVIOContext* raw_file = nullptr;
    int result =
        avio_open2(&raw_file, ("file:" + path).c_str(), AVIO_FLAG_READ, nullptr, &file_only);
    av_dict_free(&file_only);
    file_.reset(raw_file);
    if (result < 0) {
        return ffmpeg_error_text(result);
    }
    // What the file is, known before any demuxer reads its header.
    const AVInputFormat* format = nullptr;
    result = av_probe_input_buffer2(file_.get(), &format, path.c_str(), nullptr, 0, 0);
    if (result < 0) {
        return ffmpeg_error_text(result);
    }
    if (const RefusedFormat* refused = refusal_of(*format)) {
        return std::string("refused: ") + refused->what + " (" + format->name + ")";
    }

    AVFormatContext* context = avformat_alloc_context();
    if (context == nullptr) {
        return ffmpeg_error_text(AVERROR(ENOMEM));
    }
    context->pb = file_.get();
    context->io_open = open_only_the_input;
    context->opaque = other_file_refused_.get();
    AVDictionary* options = nullptr;
    av_dict_set(&options, "protocol_whitelist", "file", 0);
    // On failure the context is freed and the pointer cleared.
    result = avformat_open_input(&context, path.c_str(), nullptr, &options);
    av_dict_free(&options);
    container_.reset(context);
    if (result >= 0) {
        // The first pictures are decoded here already: the bound holds from the start.
        std::vector<AVDictionary*> stream_options(container_->nb_streams, nullptr);
        for (AVDictionary*& stream : stream_options) {
            av_dict_set_int(&stream, "max_pixels", max_pixels, 0);
        }
        result = avformat_find_stream_info(container_.get(), stream_options.data());
        for (AVDictionary*& stream : stream_options) {
            av_dict_free(&stream);
        }
    }
    if (result < 0) {
        container_.reset();
        if (*other_file_refused_) {
            return std::string("refused: it names other files to read (") + format->name + ")";
        }
        return ffmpeg_error_text(result);
    }
    const std::int64_t size = avio_size(file_.get());
    size_ = size > 0 ? size : 0;
    streams_ = choose_streams(*container_);
    return std::nullopt;
}

std::optional<MediaInput::Picture> MediaInput::picture() const {
    if (!container_ || streams_.video < 0) {
        return std::nullopt;
    }
    const AVStream& stream = *container_->streams[streams_.video];
    const DisplayShape shape = display_shape(stream);
    return Picture{stream.codecpar->codec_id, shape.width, shape.height, stream.r_frame_rate};
}

std::optional<MediaInput::Sound> MediaInput::sound() const {
    if (!container_ || streams_.audio < 0) {
        return std::nullopt;
    }
    const AVCodecParameters& sound = *container_->streams[streams_.audio]->codecpar;
    return Sound{sound.codec_id, sound.sample_rate, sound.ch_layout.nb_channels};
}

double MediaInput::duration_seconds() const {
    if (!container_ || container_->duration <= 0) {
        return 0;
    }
    return static_cast<double>(container_->duration) / AV_TIME_BASE;
}

double MediaInput::stated_duration_seconds() const {
    if (!container_ || container_->duration_estimation_method != AVFMT_DURATION_FROM_STREAM) {
        return 0;
    }
    return duration_seconds();
}

} // namespace morvane
