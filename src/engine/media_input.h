// SPDX-License-Identifier: GPL-3.0-or-later
// An input file opened for a conversion, and what it holds as the job needs to know it before
// it decides anything: the picture as it is shown, the sound, the durations.
//
// An input is read as a plain file that holds its own media: a regular file only (a named pipe
// or a device would make a read wait forever), read through its own descriptor, never a
// protocol; a bounded probe; no demuxer that opens further files named inside it (playlists,
// lists of files); no picture above 8K. A "song" must not pull other files of this computer
// into an output.
//
// A sound or a picture that starts after the probe's first seconds is looked for further in
// the file, and a declared stream that never carries a packet is not taken.
#pragma once

#include "engine/codec_id.h"
#include "engine/frame_rate.h"
#include "engine/stream_choice.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

// FFmpeg's own, known to the engine's code only.
struct AVFormatContext;
struct AVInputFormat;
struct AVIOContext;

namespace morvane {

class MediaInput {
public:
    // Decoders refuse larger pictures before any memory is taken for them; 8K still converts.
    static constexpr std::int64_t max_pixels = 8192LL * 4320;

    struct Picture {
        CodecId codec = CodecId::none;
        int width = 0; // as shown: pixel shape and rotation applied; 0 when unknown
        int height = 0;
        FrameRate frame_rate{0, 1};
        // The stream's average rate ({0, 1} when unknown): a rate that differs from the one
        // above is a variable rate (a phone's recording).
        FrameRate average_frame_rate{0, 1};
        // As decoded, before the pixel shape and the turn (what a crop cuts).
        int stored_width = 0;
        int stored_height = 0;
        int clockwise_turn = 0; // 0, 90, 180 or 270 degrees that make it upright
    };
    struct Sound {
        CodecId codec = CodecId::none;
        int sample_rate = 0;
        int channels = 0;
        // Bits per second, the average where the file states one (an MP3's Xing header),
        // else the first frame's; 0 when unknown (an MP3 of the free format).
        std::int64_t bit_rate = 0;
        // FFmpeg's name of the codec's profile ("LC" for AAC-LC); empty when unknown.
        std::string profile;
    };

    MediaInput() = default;
    MediaInput(MediaInput&&) = default;
    MediaInput& operator=(MediaInput&&) = default;

    // How much of a file is read to know it: enough to convert it, or only a glance at its
    // first part (its length, whether it holds pictures, their size and rate), cheap enough
    // for every file waiting in a batch.
    enum class Probe { whole, glance };

    // Opens and probes `path`. Nothing when it opened, else why, in FFmpeg's words or as a
    // refusal ("refused: a playlist that names other files (hls)"); a file whose content is
    // no format that can be read (text, random bytes, whatever its name) is "nothing in it
    // can be read as audio or video".
    std::optional<std::string> open(const std::string& path, Probe probe = Probe::whole);

    std::optional<Picture> picture() const;
    std::optional<Sound> sound() const;
    // Seconds; 0 when unknown. The stated one only counts what the container and its streams
    // declare, never a guess from the bit rate.
    double duration_seconds() const;
    double stated_duration_seconds() const;

    // For the engine.
    AVFormatContext& container() const { return *container_; }
    AVIOContext& file() const { return *file_; }
    const StreamChoice& streams() const { return streams_; }
    std::int64_t size() const { return size_; } // bytes, 0 when unknown
    // As it was opened.
    const std::string& path() const { return path_; }
    // Where a filter that reads the file itself (subtitles) opens it again: this input's own
    // descriptor (/proc/self/fd/N), so that whatever was put in the file's place meanwhile (a
    // named pipe a read would wait on forever) is never read; the path where that is not there.
    std::string reopening_path() const;

private:
    // Frees a file read through its descriptor, and closes the descriptor.
    struct FileCloser {
        void operator()(AVIOContext* file) const;
    };
    using FilePtr = std::unique_ptr<AVIOContext, FileCloser>;
    // Closes the demuxer; defined with the code, so that this header needs none of FFmpeg's.
    struct ContainerCloser {
        void operator()(AVFormatContext* container) const;
    };
    using ContainerPtr = std::unique_ptr<AVFormatContext, ContainerCloser>;

public:
    // For the engine: a demuxer of its own on the same file, at a place of its own, for a
    // look through the file that leaves the conversion's reader where it is. Its container is
    // empty when it cannot be opened; its streams are as the file's header declares them.
    struct SecondReader {
        FilePtr file; // outlives the container that reads it
        ContainerPtr container;
    };
    SecondReader second_reader() const;

private:
    // A reader of the file behind `descriptor` at a position of its own, so that two readers
    // of one file never move each other. Owns the descriptor (closed on failure too); empty
    // without memory.
    static FilePtr read_through(int descriptor);
    // Where the probe left every declared sound (or every moving picture) without the
    // parameters a conversion needs, reads the file again beside the container, up to its
    // end at most, until a frame of such a stream decodes; its parameters then go into the
    // container's stream. A stream that carries no packet in the whole file is discarded.
    void look_for_late_streams(const AVInputFormat& format, const std::string& path);

    FilePtr file_; // outlives the container that reads it
    ContainerPtr container_;
    StreamChoice streams_;
    std::int64_t size_ = 0;
    std::string path_;
    // Set by the guard on nested opens; boxed so that its address survives a move.
    std::unique_ptr<bool> other_file_refused_ = std::make_unique<bool>(false);
};

} // namespace morvane
