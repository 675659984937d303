// SPDX-License-Identifier: GPL-3.0-or-later
// The output container of one conversion: its streams and their encoders, configured from the
// ConversionPlan, with the input's tags and cover picture.
#pragma once

#include "engine/conversion_plan.h"
#include "engine/ffmpeg_ptr.h"
#include "engine/media_input.h"

#include <string>

namespace morvane {

class OutputFile {
public:
    // Creates the plan's container for `path`, the streams the plan asks for, their encoders
    // given the plan's options and configured but not yet opened, and the file itself. 0 or an
    // FFmpeg error; `reason` gets the words where the code says too little.
    int open(const std::string& path, const MediaInput& input, const ConversionPlan& plan,
             std::string& reason);

    AVFormatContext& container() const { return *container_; }
    AVCodecContext* video_encoder() const { return video_encoder_.get(); }
    // Null too where the plan copies the sound (audio_stream() is there).
    AVCodecContext* audio_encoder() const { return audio_encoder_.get(); }
    AVStream* video_stream() const { return video_stream_; }
    AVStream* audio_stream() const { return audio_stream_; }
    // The plan's alternate sound track; null when it has none.
    AVCodecContext* alternate_audio_encoder() const { return alternate_audio_encoder_.get(); }
    AVStream* alternate_audio_stream() const { return alternate_audio_stream_; }
    AVStream* cover_art_stream() const { return cover_art_stream_; }
    // The plan's subtitle track; null when it has none.
    AVCodecContext* subtitle_encoder() const { return subtitle_encoder_.get(); }
    AVStream* subtitle_stream() const { return subtitle_stream_; }

    // Ends the file: the muxer's trailer written and everything flushed to the disk's buffers.
    // 0 or an FFmpeg error (a write that failed on the way counts).
    int finish();

private:
    // Each returns 0 or an FFmpeg error.
    int add_video_stream(const ConversionPlan::Picture& picture, std::string& reason);
    int add_audio_stream(const ConversionPlan::Sound& sound, CodecContextPtr& slot,
                         AVStream*& stream, std::string& reason);
    // The plan's sound copied from `source` as it is: its parameters, no encoder.
    int add_copied_audio_stream(const AVStream& source);
    int add_cover_art_stream(const AVStream& source);
    // A new stream with `source`'s parameters, in `stream`. 0 or an FFmpeg error.
    int new_copied_stream(const AVStream& source, AVStream*& stream);
    // A stream, and in `slot` the encoder `wanted` names with its options. 0 or an FFmpeg error.
    int new_encoder(const NamedEncoder& wanted, CodecContextPtr& slot, AVStream*& stream,
                    std::string& reason);

    OutputFormatPtr container_;
    CodecContextPtr video_encoder_; // null when the file has no moving pictures
    CodecContextPtr audio_encoder_; // null when it has no sound
    AVStream* video_stream_ = nullptr;
    AVStream* audio_stream_ = nullptr;
    CodecContextPtr alternate_audio_encoder_;
    AVStream* alternate_audio_stream_ = nullptr;
    AVStream* cover_art_stream_ = nullptr; // the source's cover, copied as it is
    CodecContextPtr subtitle_encoder_;
    AVStream* subtitle_stream_ = nullptr;
};

} // namespace morvane
