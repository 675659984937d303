// SPDX-License-Identifier: GPL-3.0-or-later
#include "jobs/batch_time_left.h"

#include <algorithm>

namespace morvane {

BatchTimeLeft::File& BatchTimeLeft::file(int index) {
    const auto at = static_cast<std::size_t>(std::max(index, 0));
    if (at >= files_.size()) {
        files_.resize(at + 1);
    }
    return files_[at];
}

void BatchTimeLeft::file_progress(int index, double seconds, double fraction) {
    File& entry = file(index);
    entry.seconds = std::max(seconds, 0.0);
    entry.fraction = std::clamp(fraction, 0.0, 1.0);
}

void BatchTimeLeft::file_passed(int index) {
    file(index).passed = true;
}

std::optional<double> BatchTimeLeft::seconds_left(double elapsed, int file_count) const {
    double known_seconds = 0;
    int known = 0;
    for (const File& entry : files_) {
        if (!entry.passed && entry.seconds > 0) {
            known_seconds += entry.seconds;
            ++known;
        }
    }
    const double usual = known > 0 ? known_seconds / known : 1.0;
    double whole = 0;
    double done = 0;
    for (int index = 0; index < file_count; ++index) {
        const File entry = static_cast<std::size_t>(index) < files_.size()
                               ? files_[static_cast<std::size_t>(index)]
                               : File{};
        if (!entry.passed) {
            const double weight = entry.seconds > 0 ? entry.seconds : usual;
            whole += weight;
            done += weight * entry.fraction;
        }
    }
    if (whole <= 0 || done / whole < 0.01 || elapsed < 1.0) {
        return std::nullopt;
    }
    return elapsed * (whole - done) / done;
}

} // namespace morvane
