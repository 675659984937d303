// SPDX-License-Identifier: GPL-3.0-or-later
// The transcoding engine: converts one input into one output under one ConversionPlan, and
// says how it went in one ConversionResult. Nothing of one conversion reaches the next.
//
// The engine writes where it is told and never deletes anything: the caller owns the output
// file (see TemporaryOutput). Progress and the stop go through a ProgressSink.
#pragma once

#include "engine/conversion_plan.h"
#include "engine/conversion_result.h"
#include "engine/media_input.h"
#include "engine/progress_sink.h"

#include <functional>
#include <string>

// FFmpeg's own, known to the engine's code and its tests only.
struct AVFormatContext;
struct AVPacket;

namespace morvane {

class Engine {
public:
    // Hands one packet to the muxer; av_interleaved_write_frame unless a test replaces it.
    using PacketMuxer = std::function<int(AVFormatContext*, AVPacket*)>;

    Engine();

    void set_packet_muxer(PacketMuxer muxer) { muxer_ = std::move(muxer); }

    // Converts `input` (opened, and read by this call) into a new file at `output_path`; a
    // plan that copies the sound copies its packets instead (see sound_copy.h).
    // `sink` may be null: no reports, no stop.
    ConversionResult convert(MediaInput& input, const std::string& output_path,
                             const ConversionPlan& plan, ProgressSink* sink) const;

private:
    PacketMuxer muxer_;
};

} // namespace morvane
