// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/media_input.h"

#include "engine/cover_art.h"
#include "engine/display_shape.h"
#include "engine/ffmpeg_error.h"
#include "engine/ffmpeg_ptr.h"
#include "engine/stream_decoder.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <new>
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
// What is said of a file whose content is no format that can be read: text, random bytes, a
// fragment. FFmpeg's words for it ("Invalid data found when processing input", or "Invalid
// argument" from the reader its name chose) tell a person nothing to do.
constexpr const char* not_media = "nothing in it can be read as audio or video";
// A glance reads at most this much of a file's streams (bytes, microseconds).
constexpr std::int64_t glance_bytes = 1 << 18;
constexpr std::int64_t glance_microseconds = 500000;

// One reader's place in the file. Reads go through pread(), never the descriptor's own offset,
// so that the conversion's reader and a look further into the file never move each other.
struct FileCursor {
    int descriptor = -1;
    std::int64_t position = 0;
};

int read_file(void* opaque, std::uint8_t* buffer, int size) {
    FileCursor& cursor = *static_cast<FileCursor*>(opaque);
    ssize_t got = 0;
    do {
        got = ::pread(cursor.descriptor, buffer, static_cast<std::size_t>(size),
                      static_cast<off_t>(cursor.position));
    } while (got < 0 && errno == EINTR);
    if (got < 0) {
        return AVERROR(errno);
    }
    cursor.position += got;
    return got == 0 ? AVERROR_EOF : static_cast<int>(got);
}

std::int64_t file_size(const FileCursor& cursor) {
    struct stat status {};
    return ::fstat(cursor.descriptor, &status) == 0 ? status.st_size : AVERROR(errno);
}

std::int64_t seek_file(void* opaque, std::int64_t offset, int whence) {
    FileCursor& cursor = *static_cast<FileCursor*>(opaque);
    if (whence & AVSEEK_SIZE) {
        return file_size(cursor);
    }
    std::int64_t base = 0;
    switch (whence & ~AVSEEK_FORCE) {
    case SEEK_SET:
        break;
    case SEEK_CUR:
        base = cursor.position;
        break;
    case SEEK_END:
        base = file_size(cursor);
        if (base < 0) {
            return base;
        }
        break;
    default:
        return AVERROR(EINVAL);
    }
    if ((offset > 0 && base > INT64_MAX - offset) || base + offset < 0) {
        return AVERROR(EINVAL);
    }
    cursor.position = base + offset;
    return cursor.position;
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

// Opens a demuxer on `file` that reads nothing else (see open_only_the_input), telling it
// the format (nullptr: probed again). On failure `container` stays empty.
template <typename ContainerOwner>
int open_container(AVIOContext& file, const AVInputFormat* format, const std::string& path,
                   bool& other_file_refused, ContainerOwner& container) {
    AVFormatContext* context = avformat_alloc_context();
    if (context == nullptr) {
        return AVERROR(ENOMEM);
    }
    context->pb = &file;
    context->io_open = open_only_the_input;
    context->opaque = &other_file_refused;
    AVDictionary* options = nullptr;
    av_dict_set(&options, "protocol_whitelist", "file", 0);
    // On failure the context is freed and the pointer cleared.
    const int result = avformat_open_input(&context, path.c_str(), format, &options);
    av_dict_free(&options);
    container.reset(context);
    return result;
}

// A stream as a conversion takes it: sound, or moving pictures (a cover is not video).
bool converted_kind(const AVStream& stream, AVMediaType type) {
    return stream.codecpar->codec_type == type &&
           (type != AVMEDIA_TYPE_VIDEO || !is_cover_art(&stream));
}

bool has_parameters(const AVCodecParameters& parameters) {
    if (parameters.codec_type == AVMEDIA_TYPE_AUDIO) {
        return parameters.sample_rate > 0 && parameters.ch_layout.nb_channels > 0;
    }
    return parameters.width > 0 && parameters.height > 0;
}

// A declared stream the probe left without parameters, looked for further in the file.
struct LateStream {
    AVStream* stream = nullptr; // the container's
    CodecContextPtr decoder;    // null where this system cannot decode it: only its packets count
    int packets = 0;            // seen in the look
    bool found = false;         // a frame decoded, its parameters taken

    // Nothing more to learn from its packets.
    bool settled() const {
        return found || (packets > 0 && (!decoder || packets >= max_packets_decoded));
    }

    // A stream that has packets but none of its first ones decodes is damaged: the look does
    // not decode all of it.
    static constexpr int max_packets_decoded = 1000;
};

// The streams to look for: every sound (or every moving picture) of the container when none
// of that type has its parameters. Nothing, as for almost every file, when each has some.
std::vector<LateStream> late_streams(const AVFormatContext& container) {
    std::vector<LateStream> late;
    for (const AVMediaType type : {AVMEDIA_TYPE_AUDIO, AVMEDIA_TYPE_VIDEO}) {
        const std::size_t first = late.size();
        bool known = false;
        for (unsigned index = 0; index < container.nb_streams && !known; ++index) {
            AVStream* stream = container.streams[index];
            if (converted_kind(*stream, type)) {
                known = has_parameters(*stream->codecpar);
                late.push_back(LateStream{stream, nullptr, 0, false});
            }
        }
        if (known) {
            late.resize(first);
        }
    }
    return late;
}

// A decoder of its own for `late`, bounded as the conversion's are; null where none opens.
CodecContextPtr late_stream_decoder(const AVStream& late) {
    CodecContextPtr decoder;
    if (make_stream_decoder(late, decoder) < 0) {
        return nullptr;
    }
    decoder->max_pixels = MediaInput::max_pixels;
    if (avcodec_open2(decoder.get(), nullptr, nullptr) < 0) {
        return nullptr;
    }
    return decoder;
}

// Which of `late` the look's stream `other` is: the same id where the format gives ids (an
// MPEG-TS stream's PID), else the same place; -1 for none.
int late_match(const std::vector<LateStream>& late, const AVStream& other, bool by_id) {
    for (std::size_t slot = 0; slot < late.size(); ++slot) {
        const AVStream& stream = *late[slot].stream;
        if (stream.codecpar->codec_type == other.codecpar->codec_type &&
            (by_id ? stream.id == other.id : stream.index == other.index)) {
            return static_cast<int>(slot);
        }
    }
    return -1;
}

// Writes what the decoder learnt from `frame` into the container's stream, as the probe
// would have.
void take_parameters(AVStream& stream, const AVCodecContext& decoder, const AVFrame& frame) {
    if (avcodec_parameters_from_context(stream.codecpar, &decoder) < 0) {
        return;
    }
    AVCodecParameters& parameters = *stream.codecpar;
    if (parameters.codec_type == AVMEDIA_TYPE_AUDIO) {
        if (parameters.frame_size <= 0) {
            parameters.frame_size = frame.nb_samples;
        }
    } else if (decoder.framerate.num > 0 && decoder.framerate.den > 0) {
        // The probe saw none of its pictures: its rate was only the time base.
        stream.r_frame_rate = decoder.framerate;
    }
}

// Sends `packet` (nullptr: the end) to the late stream's decoder; true when a frame came out,
// its parameters taken.
bool decodes_a_frame(LateStream& late, const AVPacket* packet, AVFrame& frame) {
    AVCodecContext& decoder = *late.decoder;
    const int sent = avcodec_send_packet(&decoder, packet);
    if (sent < 0 && sent != AVERROR(EAGAIN)) {
        return false; // a damaged packet, passed over
    }
    if (avcodec_receive_frame(&decoder, &frame) < 0) {
        return false; // wants more
    }
    take_parameters(*late.stream, decoder, frame);
    av_frame_unref(&frame);
    return true;
}

// Demuxers that answer "try again" are given this many tries in a row.
constexpr int max_read_retries = 1000;

} // namespace

void MediaInput::FileCloser::operator()(AVIOContext* file) const {
    auto* cursor = static_cast<FileCursor*>(file->opaque);
    av_freep(&file->buffer);
    avio_context_free(&file);
    ::close(cursor->descriptor);
    delete cursor;
}

void MediaInput::ContainerCloser::operator()(AVFormatContext* container) const {
    avformat_close_input(&container);
}

MediaInput::FilePtr MediaInput::read_through(int descriptor) {
    auto* buffer = static_cast<unsigned char*>(av_malloc(file_buffer_bytes));
    auto* cursor = buffer != nullptr ? new (std::nothrow) FileCursor{descriptor, 0} : nullptr;
    AVIOContext* file = cursor == nullptr ? nullptr
                                          : avio_alloc_context(buffer, file_buffer_bytes, 0, cursor,
                                                               read_file, nullptr, seek_file);
    if (file == nullptr) {
        delete cursor;
        av_free(buffer);
        ::close(descriptor);
    }
    return FilePtr(file);
}

std::optional<std::string> MediaInput::open(const std::string& path, Probe probe) {
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
    if (refusal) {
        ::close(descriptor);
        return refusal;
    }
    file_ = read_through(descriptor);
    if (!file_) {
        return ffmpeg_error_text(AVERROR(ENOMEM));
    }
    // What the file is, known before any demuxer reads its header.
    const AVInputFormat* format = nullptr;
    int result =
        av_probe_input_buffer2(file_.get(), &format, path.c_str(), nullptr, 0, max_probe_bytes);
    if (result < 0) {
        return result == AVERROR_INVALIDDATA ? not_media : ffmpeg_error_text(result);
    }
    // Below FFmpeg's "misdetection possible": the format was taken from the file's name, or from
    // a few bytes that may be chance. If it reads nothing, the file is no media at all.
    const bool guessed = result < AVPROBE_SCORE_RETRY;
    if (const RefusedFormat* refused = refusal_of(*format)) {
        return std::string("refused: ") + refused->what + " (" + format->name + ")";
    }

    result = open_container(*file_, nullptr, path, *other_file_refused_, container_);
    if (result >= 0) {
        // The first pictures are decoded here already: the bound holds from the start.
        std::vector<AVDictionary*> stream_options(container_->nb_streams, nullptr);
        for (AVDictionary*& stream : stream_options) {
            av_dict_set_int(&stream, "max_pixels", max_pixels, 0);
        }
        if (probe == Probe::glance) {
            container_->probesize = glance_bytes;
            container_->max_analyze_duration = glance_microseconds;
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
        const bool file_fault = result == AVERROR(EIO) || result == AVERROR(ENOMEM);
        return guessed && !file_fault ? not_media : ffmpeg_error_text(result);
    }
    size_ = status.st_size;
    path_ = path;
    if (probe == Probe::whole) {
        look_for_late_streams(*format, path);
    }
    streams_ = choose_streams(*container_);
    if (guessed && streams_.audio < 0 && streams_.video < 0) {
        container_.reset();
        return not_media;
    }
    return std::nullopt;
}

std::string MediaInput::reopening_path() const {
    if (!file_) {
        return path_;
    }
    const int descriptor = static_cast<const FileCursor*>(file_->opaque)->descriptor;
    const std::string own = "/proc/self/fd/" + std::to_string(descriptor);
    struct stat opened {};
    struct stat reached {};
    if (::fstat(descriptor, &opened) == 0 && ::stat(own.c_str(), &reached) == 0 &&
        opened.st_dev == reached.st_dev && opened.st_ino == reached.st_ino) {
        return own;
    }
    return path_;
}

// The probe reads the first seconds of a file only (7 s of an MPEG-TS or PS, 5 MB at most):
// a sound that starts later in a recording is declared without a rate or channels, and FFmpeg
// never chooses it, so the film would be converted silent; a picture track that starts later,
// or never, has no size. Such streams are looked for in a second reading of the same file, by
// a demuxer of its own (the conversion's keeps its place and its buffered packets), packets
// dropped as they come.
void MediaInput::look_for_late_streams(const AVInputFormat& format, const std::string& path) {
    std::vector<LateStream> late = late_streams(*container_);
    if (late.empty()) {
        return;
    }
    const int descriptor =
        ::fcntl(static_cast<FileCursor*>(file_->opaque)->descriptor, F_DUPFD_CLOEXEC, 0);
    FilePtr file = descriptor >= 0 ? read_through(descriptor) : nullptr;
    bool other_file_refused = false;
    InputFormatPtr look;
    const PacketPtr packet(av_packet_alloc());
    const FramePtr frame(av_frame_alloc());
    if (!file || !packet || !frame ||
        open_container(*file, &format, path, other_file_refused, look) < 0) {
        return;
    }
    for (LateStream& stream : late) {
        stream.decoder = late_stream_decoder(*stream.stream);
    }
    bool by_id = false;
    for (unsigned index = 0; index < container_->nb_streams; ++index) {
        by_id = by_id || container_->streams[index]->id != 0;
    }
    // By the look's stream index: which late stream it is, once its first packet tells (a
    // stream's kind may be known only then); -1 for none.
    constexpr int not_matched_yet = -2;
    std::vector<int> slots;
    int result = 0;
    int retries = 0;
    while (
        !std::all_of(late.begin(), late.end(), [](const LateStream& s) { return s.settled(); })) {
        result = av_read_frame(look.get(), packet.get());
        if (result == AVERROR(EAGAIN) && ++retries < max_read_retries) {
            continue;
        }
        if (result < 0) {
            break;
        }
        retries = 0;
        const auto index = static_cast<std::size_t>(packet->stream_index);
        if (slots.size() <= index) {
            slots.resize(look->nb_streams, not_matched_yet);
        }
        if (slots[index] == not_matched_yet) {
            AVStream& other = *look->streams[index];
            slots[index] = late_match(late, other, by_id);
            if (slots[index] < 0) {
                other.discard = AVDISCARD_ALL; // its packets need not even be parsed
            }
        }
        if (slots[index] >= 0) {
            LateStream& stream = late[static_cast<std::size_t>(slots[index])];
            ++stream.packets;
            if (!stream.settled()) {
                stream.found = decodes_a_frame(stream, packet.get(), *frame);
            }
        }
        av_packet_unref(packet.get());
    }
    if (result != AVERROR_EOF) {
        return;
    }
    for (LateStream& stream : late) {
        if (stream.packets == 0) {
            // Declared but never there: a sound that never comes, a picture track without a
            // single picture.
            stream.stream->discard = AVDISCARD_ALL;
        } else if (!stream.found && stream.decoder) {
            stream.found = decodes_a_frame(stream, nullptr, *frame); // what it still holds
        }
    }
}

MediaInput::SecondReader MediaInput::second_reader() const {
    SecondReader reader;
    if (!container_ || !file_) {
        return reader;
    }
    const int descriptor =
        ::fcntl(static_cast<FileCursor*>(file_->opaque)->descriptor, F_DUPFD_CLOEXEC, 0);
    reader.file = descriptor >= 0 ? read_through(descriptor) : nullptr;
    if (!reader.file || container_->iformat == nullptr || container_->url == nullptr) {
        return reader;
    }
    // Only the input itself may be opened from inside it, as for the first reader.
    if (open_container(*reader.file, container_->iformat, container_->url, *other_file_refused_,
                       reader.container) < 0) {
        reader.container.reset();
    }
    return reader;
}

std::optional<MediaInput::Picture> MediaInput::picture() const {
    if (!container_ || streams_.video < 0) {
        return std::nullopt;
    }
    const AVStream& stream = *container_->streams[streams_.video];
    const DisplayShape shape = display_shape(stream);
    return Picture{static_cast<CodecId>(stream.codecpar->codec_id),
                   shape.width,
                   shape.height,
                   FrameRate{stream.r_frame_rate.num, stream.r_frame_rate.den},
                   FrameRate{stream.avg_frame_rate.num, stream.avg_frame_rate.den},
                   stream.codecpar->width,
                   stream.codecpar->height,
                   shape.clockwise_turn};
}

std::optional<MediaInput::Sound> MediaInput::sound() const {
    if (!container_ || streams_.audio < 0) {
        return std::nullopt;
    }
    const AVCodecParameters& sound = *container_->streams[streams_.audio]->codecpar;
    const char* profile = avcodec_profile_name(sound.codec_id, sound.profile);
    return Sound{static_cast<CodecId>(sound.codec_id), sound.sample_rate,
                 sound.ch_layout.nb_channels, std::max<std::int64_t>(sound.bit_rate, 0),
                 profile != nullptr ? profile : ""};
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
