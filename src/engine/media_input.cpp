// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/media_input.h"

#include "engine/display_shape.h"
#include "engine/ffmpeg_error.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

extern "C" {
#include <libavutil/avstring.h>
}

namespace morvane {

namespace {

// Bytes read to tell what a file is: FFmpeg's own most.
constexpr unsigned max_probe_bytes = 1 << 20;
constexpr int file_buffer_bytes = 1 << 16;

int descriptor_of(void* opaque) {
    return static_cast<int>(reinterpret_cast<std::intptr_t>(opaque));
}

int read_file(void* opaque, std::uint8_t* buffer, int size) {
    ssize_t got = 0;
    do {
        got = ::read(descriptor_of(opaque), buffer, static_cast<std::size_t>(size));
    } while (got < 0 && errno == EINTR);
    if (got < 0) {
        return AVERROR(errno);
    }
    return got == 0 ? AVERROR_EOF : static_cast<int>(got);
}

std::int64_t seek_file(void* opaque, std::int64_t offset, int whence) {
    const int descriptor = descriptor_of(opaque);
    if (whence & AVSEEK_SIZE) {
        struct stat status {};
        return ::fstat(descriptor, &status) == 0 ? status.st_size : AVERROR(errno);
    }
    const off_t at = ::lseek(descriptor, offset, whence & ~AVSEEK_FORCE);
    return at < 0 ? AVERROR(errno) : at;
}

// Why `path` cannot be read as a file of media; nothing when it can.
std::optional<std::string> not_a_file(const struct stat& status) {
    if (S_ISDIR(status.st_mode)) {
        return std::string("is a folder");
    }
    if (!S_ISREG(status.st_mode)) {
        return std::string("not a regular file");
    }
    if (status.st_size == 0) {
        return std::string("empty file");
    }
    return std::nullopt;
}

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
    struct stat status {};
    if ((flags & AVIO_FLAG_WRITE) || context->url == nullptr ||
        std::strcmp(name, context->url) != 0) {
        *static_cast<bool*>(context->opaque) = true;
        return AVERROR(EPERM);
    }
    if (::stat(name, &status) != 0 || !S_ISREG(status.st_mode)) {
        return AVERROR(EPERM); // swapped for something that is not a file since it was opened
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

void MediaInput::FileCloser::operator()(AVIOContext* file) const {
    const int descriptor = descriptor_of(file->opaque);
    av_freep(&file->buffer);
    avio_context_free(&file);
    ::close(descriptor);
}

std::optional<std::string> MediaInput::open(const std::string& path) {
    // Not blocking: opening a named pipe would otherwise wait for a writer.
    const int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (descriptor < 0) {
        return ffmpeg_error_text(AVERROR(errno));
    }
    struct stat status {};
    std::optional<std::string> refusal;
    if (::fstat(descriptor, &status) != 0) {
        refusal = ffmpeg_error_text(AVERROR(errno));
    } else {
        refusal = not_a_file(status);
    }
    auto* buffer = static_cast<unsigned char*>(av_malloc(file_buffer_bytes));
    AVIOContext* raw_file =
        refusal || buffer == nullptr
            ? nullptr
            : avio_alloc_context(buffer, file_buffer_bytes, 0,
                                 reinterpret_cast<void*>(static_cast<std::intptr_t>(descriptor)),
                                 read_file, nullptr, seek_file);
    if (raw_file == nullptr) {
        av_free(buffer);
        ::close(descriptor);
        return refusal ? *refusal : ffmpeg_error_text(AVERROR(ENOMEM));
    }
    file_.reset(raw_file);
    // What the file is, known before any demuxer reads its header.
    const AVInputFormat* format = nullptr;
    int result =
        av_probe_input_buffer2(file_.get(), &format, path.c_str(), nullptr, 0, max_probe_bytes);
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
    size_ = status.st_size;
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
