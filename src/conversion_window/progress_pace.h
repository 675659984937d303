// SPDX-License-Identifier: GPL-3.0-or-later
// When a batch's progress is worth saying to a screen reader: where the batch stands ("12 of
// 100"), at most once every ten seconds, rather than each file's percentages. A file's start
// is said once ten seconds have passed since the last thing said, so short files are said at
// most every ten seconds and files longer than that each as it starts; a long file is
// recalled every minute. The batch's start is not said: the user has just started it.
#pragma once

#include <chrono>

namespace morvane {

class ProgressPace {
public:
    using Clock = std::chrono::steady_clock;

    explicit ProgressPace(std::chrono::milliseconds interval = std::chrono::seconds(10),
                          std::chrono::milliseconds reminder = std::chrono::minutes(1))
        : interval_(interval), reminder_(reminder) {}

    // A batch starts at `now`.
    void start(Clock::time_point now);
    // The batch shows file `index` (zero-based) at `now`: whether to say where it stands.
    bool due(int index, Clock::time_point now);

private:
    std::chrono::milliseconds interval_;
    std::chrono::milliseconds reminder_;
    Clock::time_point last_said_;
    int file_index_ = -1;
    bool file_start_unsaid_ = false;
};

} // namespace morvane
