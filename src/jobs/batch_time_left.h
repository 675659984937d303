// SPDX-License-Identifier: GPL-3.0-or-later
// How long a batch has left. Each file is weighed by the work it is expected to take, known
// before it starts from a glance at it (its length, whether it makes a film, how many pixels a
// second its pictures have): a second of sound is one unit, a second of film several (more
// for bigger pictures), and every file adds a few units of its own (opening, tags, writing).
// What a unit costs is measured on the batch's own files as they go, for films and for sound
// apart once both were seen; files not glanced yet weigh as much as the mean of those that
// were; files that ended without being converted (failed, skipped) weigh nothing.
#pragma once

#include <optional>
#include <vector>

namespace morvane {

class BatchTimeLeft {
public:
    // What a file is, as far as its cost goes.
    struct Work {
        double seconds = 0; // its length; 0: not known
        bool film = false;
        double pixels_per_second = 0; // of its pictures, for a film
    };

    // File `index` of the batch (zero-based) is known to be `work`; before it starts, or once
    // it opened.
    void file_expected(int index, const Work& work);
    // File `index` is `fraction` (0..1) converted, `elapsed` seconds into the batch.
    void file_progress(int index, double fraction, double elapsed);
    // File `index` ended, converted (or stopped, incomplete): `elapsed` seconds into the batch.
    void file_done(int index, double elapsed);
    // File `index` ended without taking conversion time (failed, skipped, not started).
    void file_passed(int index);
    // Seconds left in a batch of `file_count` files converted by `converters` at once;
    // nothing while nothing has been measured yet.
    std::optional<double> seconds_left(int file_count, int converters = 1) const;

private:
    struct File {
        Work work;
        bool glanced = false;
        double fraction = 0;
        bool passed = false;
        bool done = false;
        // When it started and was last told of, and how far it was then.
        double started = -1;
        double last_elapsed = -1;
    };
    File& file(int index);
    // Units a file takes in all.
    static double units(const Work& work);
    // Seconds a unit costs for films or sound, as the batch has shown it; nothing before any
    // file has shown it.
    std::optional<double> unit_cost(bool film) const;
    std::optional<double> measured_unit_cost(bool film) const;

    std::vector<File> files_;
};

} // namespace morvane
