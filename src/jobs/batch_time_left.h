// SPDX-License-Identifier: GPL-3.0-or-later
// How long a batch has left, its files weighed by their duration: ten minutes of film count
// for more than three short songs. Files whose duration is not known (yet) weigh as much as
// the mean of those known, or all the same when none is; files that ended without being
// converted (failed, skipped) weigh nothing.
#pragma once

#include <optional>
#include <vector>

namespace morvane {

class BatchTimeLeft {
public:
    // File `index` of the batch (zero-based) lasts `seconds` (0: unknown) and is `fraction`
    // (0..1) converted.
    void file_progress(int index, double seconds, double fraction);
    // File `index` ended without taking conversion time.
    void file_passed(int index);
    // Seconds left, `elapsed` seconds into a batch of `file_count` files; nothing while it is
    // too early for a guess worth reading.
    std::optional<double> seconds_left(double elapsed, int file_count) const;

private:
    struct File {
        double seconds = 0;
        double fraction = 0;
        bool passed = false;
    };
    File& file(int index);

    std::vector<File> files_;
};

} // namespace morvane
