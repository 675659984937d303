// SPDX-License-Identifier: GPL-3.0-or-later
// One libavfilter graph: a buffer source, a chain of filters described as text, a buffer sink.
#pragma once

#include "engine/ffmpeg_ptr.h"

#include <string>

namespace morvane {

class FilterGraph {
public:
    // `source_name` is "buffer" or "abuffer" with its arguments; `chain` the filters between
    // source and sink ("scale=320:180,pad=..."). Replaces any graph built before. Returns 0
    // or an FFmpeg error.
    int configure(const char* source_name, const std::string& source_arguments,
                  const std::string& chain, int threads);
    bool configured() const { return graph_ != nullptr; }
    AVFilterContext* source() const { return source_; }
    AVFilterContext* sink() const { return sink_; }

private:
    FilterGraphPtr graph_;
    AVFilterContext* source_ = nullptr;
    AVFilterContext* sink_ = nullptr;
};

} // namespace morvane
