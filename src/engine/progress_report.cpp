// Progress as a whole percentage of the input's timeline (of its bytes where its duration is
// unknown), at most once per report interval; the sink's answer is the only way to stop a
// running conversion.
#include "engine/conver_callback.h"
#include "engine/engine.h"

#include <algorithm>

extern "C" {
#include <libavutil/time.h>
}

namespace morvane {

namespace {

int percent_done(const TranscodeProgress& progress) {
    double share = 0;
    if (progress.duration > 0) {
        share = static_cast<double>(progress.position) / static_cast<double>(progress.duration);
    } else if (progress.total_bytes > 0) {
        share =
            static_cast<double>(progress.bytes_read) / static_cast<double>(progress.total_bytes);
    }
    // 100 is for the end alone.
    return static_cast<int>(std::clamp(share * 100.0, 0.0, 99.0));
}

} // namespace

bool Engine::report_progress(TranscodeProgress& progress, std::size_t output_stream_count,
                             bool final_report) {
    bool go_on = true;
    if (!final_report) {
        const std::int64_t now = av_gettime_relative();
        if (last_report_time_ == -1) {
            last_report_time_ = now;
            return true;
        }
        if (now - last_report_time_ < report_interval_.count()) {
            return true;
        }
        last_report_time_ = now;
    }
    if (output_stream_count >= 1 && progress.callback != nullptr) {
        // An estimated duration, or a reading that goes back to look for something, must not
        // make the bar go back.
        const int percent = std::max(percent_done(progress), progress.file_percent);
        progress.file_percent = percent;
        if (percent != progress.last_percent) {
            progress.last_percent = percent;
            go_on = progress.callback->on_progress(percent);
        }
    }
    if (final_report && progress.callback != nullptr) {
        progress.callback->on_progress(100);
    }
    return go_on;
}

} // namespace morvane
