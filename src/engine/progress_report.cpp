// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/progress_report.h"

#include <algorithm>

extern "C" {
#include <libavutil/time.h>
}

namespace morvane {

void ProgressReport::start() {
    last_report_time_ = av_gettime_relative();
}

bool ProgressReport::due(bool final_report) {
    if (sink_ == nullptr) {
        return false;
    }
    if (final_report) {
        return true;
    }
    const std::int64_t now = av_gettime_relative();
    if (now - last_report_time_ < sink_->report_interval().count()) {
        return false;
    }
    last_report_time_ = now;
    return true;
}

bool ProgressReport::tell(double share, bool final_report) {
    // An estimated duration, or a demuxer that reads back, must not make the bar go back.
    const int percent =
        std::max(static_cast<int>(std::clamp(share * 100.0, 0.0, 99.0)), last_percent_);
    bool go_on = true;
    if (percent != last_percent_) {
        last_percent_ = percent;
        go_on = sink_->on_progress(percent);
    }
    if (final_report) {
        sink_->on_progress(100);
    }
    return go_on;
}

} // namespace morvane
