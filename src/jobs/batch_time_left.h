// SPDX-License-Identifier: GPL-3.0-or-later
// How long a batch has left, its files weighed by the time they are expected to take: their
// duration times what a second of their kind costs to convert. A minute of film costs far
// more than a minute of sound; how much more is learnt from the batch's own files as they
// go (until both kinds were seen, a film's second counts as twenty of sound). Files whose
// duration is not known (yet) weigh as much as the mean of those known, or all the same when
// none is; files that ended without being converted (failed, skipped) weigh nothing.
#pragma once

#include <optional>
#include <vector>

namespace morvane {

class BatchTimeLeft {
public:
    enum class Kind { film, sound };

    // File `index` of the batch (zero-based) lasts `seconds` (0: unknown), is `fraction`
    // (0..1) converted and makes `kind`, `elapsed` seconds into the batch (negative: not
    // told; the file then teaches nothing of its kind's cost).
    void file_progress(int index, double seconds, double fraction, Kind kind = Kind::film,
                       double elapsed = -1);
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
        Kind kind = Kind::film;
        // When its progress was first and last told, and how far it was then.
        double first_elapsed = -1;
        double first_fraction = 0;
        double last_elapsed = -1;
    };
    File& file(int index);
    // Seconds of conversion per second of media of a kind, as the batch has shown it so far;
    // nothing when it has not.
    std::optional<double> measured_cost(Kind kind) const;
    double cost(Kind kind) const;

    std::vector<File> files_;
};

} // namespace morvane
