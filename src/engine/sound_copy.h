// SPDX-License-Identifier: GPL-3.0-or-later
// A file of sound alone whose stream the player already plays, written without encoding it
// again: the input's packets copied into the plan's container, with the tags and the cover as
// a conversion writes them. The stream is decoded beside the copy, frame by frame, so that a
// damaged one is found (and reported, for the caller to convert instead) rather than copied.
#pragma once

#include "engine/conversion_plan.h"
#include "engine/conversion_result.h"
#include "engine/engine.h"
#include "engine/ffmpeg_ptr.h"
#include "engine/loudness_meter.h"
#include "engine/media_input.h"
#include "engine/output_file.h"
#include "engine/progress_report.h"
#include "engine/progress_sink.h"

#include <cstdint>
#include <optional>
#include <string>

namespace morvane {

class SoundCopy {
public:
    SoundCopy(MediaInput& input, const ConversionPlan& plan, ProgressSink* sink,
              const Engine::PacketMuxer& muxer);

    ConversionResult run(const std::string& output_path);

private:
    // Each returns 0 or an FFmpeg error (reason_ set where the code says too little).
    int copy(const std::string& output_path);
    int open_decoder();
    int write_cover_art();
    int read_packets();
    // One packet of the copied stream: decoded, then written. 0 or an FFmpeg error.
    int copy_packet(AVPacket& packet);
    // Takes every frame the decoder has ready; an error where one did not decode.
    int drain_decoder();
    // As the conversion reports: at most once per the sink's interval, when the percentage
    // changed; 100 at the end. False when the sink asked to stop.
    bool report_progress(bool final_report);

    MediaInput& input_;
    const ConversionPlan& plan_;
    ProgressSink* sink_;
    const Engine::PacketMuxer& muxer_;

    OutputFile output_;
    const AVStream* source_ = nullptr;
    CodecContextPtr decoder_;
    FramePtr frame_;
    PacketPtr packet_;
    std::optional<LoudnessMeter> loudness_;
    std::string reason_;
    std::string read_error_;
    bool damaged_ = false;
    bool stopped_ = false;
    std::int64_t packets_written_ = 0;
    // The input's timeline copied so far (microseconds from the file's start).
    std::int64_t reached_ = 0;
    ProgressReport progress_{sink_};
};

} // namespace morvane
