// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/engine.h"

#include "engine/sound_copy.h"
#include "engine/transcode.h"

namespace morvane {

Engine::Engine() : muxer_(av_interleaved_write_frame) {}

ConversionResult Engine::convert(MediaInput& input, const std::string& output_path,
                                 const ConversionPlan& plan, ProgressSink* sink) const {
    if (plan.sound && plan.sound->copy && !plan.picture) {
        return SoundCopy(input, plan, sink, muxer_).run(output_path);
    }
    return Transcode(input, plan, sink, muxer_).run(output_path);
}

} // namespace morvane
