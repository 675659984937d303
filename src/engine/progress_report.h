// SPDX-License-Identifier: GPL-3.0-or-later
// How a conversion tells its sink how far it is: at most once per the sink's interval, a
// percentage that never goes back and stays under 100 until the end says 100.
#pragma once

#include "engine/progress_sink.h"

#include <cstdint>

namespace morvane {

class ProgressReport {
public:
    // `sink` outlives the report; null: nothing is told.
    explicit ProgressReport(ProgressSink* sink) : sink_(sink) {}

    // The work starts: the first report is due an interval from now.
    void start();
    // Whether a report is due now: the end's always, another once the interval has passed;
    // never without a sink.
    bool due(bool final_report);
    // Tells the sink `share` (0 to 1) of the work is done, or 100 at the end; false when it
    // asks to stop.
    bool tell(double share, bool final_report);

private:
    ProgressSink* sink_;
    std::int64_t last_report_time_ = 0; // wall clock, microseconds
    int last_percent_ = -1;             // the last sent, the highest reached
};

} // namespace morvane
