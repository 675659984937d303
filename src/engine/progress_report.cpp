// Progress as a whole percentage of the input's bytes, at most twice a second; the sink's
// answer is the only way to stop a running conversion.
#include "engine/conver_callback.h"
#include "engine/engine.h"

extern "C" {
#include <libavutil/time.h>
}

namespace morvane {

bool Engine::report_progress(TranscodeProgress& progress, std::size_t output_stream_count,
                             bool final_report) {
    bool go_on = true;
    if (!final_report) {
        const std::int64_t now = av_gettime_relative();
        if (last_report_time_ == -1) {
            last_report_time_ = now;
            return true;
        }
        if (now - last_report_time_ < 500000) {
            return true;
        }
        last_report_time_ = now;
    }
    if (output_stream_count >= 1 && progress.callback != nullptr) {
        // A file of unknown size has no meaningful percentage: it stays at 0 until the end.
        int percent = 0;
        if (progress.total_bytes > 0) {
            const double share = static_cast<double>(progress.bytes_read) /
                                 static_cast<double>(progress.total_bytes) * 100.0;
            percent = static_cast<int>(std::clamp(share, 0.0, 100.0));
        }
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
