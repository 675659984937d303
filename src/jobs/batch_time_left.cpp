// SPDX-License-Identifier: GPL-3.0-or-later
#include "jobs/batch_time_left.h"

#include <algorithm>

namespace morvane {

namespace {

// Units of work, a second of sound being one; measured on two cores converting for the iPod
// nano (60 s of 320x240 H.264 costs 7 times as much as 60 s of AAC sound, of 1280x720 10
// times; a file of its own, opened, tagged and written, as much as 5 s of sound).
constexpr double film_second_units = 6.7;
constexpr double megapixel_second_units = 0.14;
constexpr double file_units = 5.0;
// Progress of a file still going, over less than this much time, says little of a unit's
// cost; a whole file says enough however short it was.
constexpr double least_measured_seconds = 0.5;

} // namespace

BatchTimeLeft::File& BatchTimeLeft::file(int index) {
    const auto at = static_cast<std::size_t>(std::max(index, 0));
    if (at >= files_.size()) {
        files_.resize(at + 1);
    }
    return files_[at];
}

double BatchTimeLeft::units(const Work& work) {
    const double per_second =
        work.film ? film_second_units + megapixel_second_units * work.pixels_per_second / 1e6 : 1.0;
    return file_units + per_second * std::max(work.seconds, 0.0);
}

void BatchTimeLeft::file_expected(int index, const Work& work) {
    File& entry = file(index);
    entry.work = work;
    entry.glanced = true;
}

void BatchTimeLeft::file_progress(int index, double fraction, double elapsed) {
    File& entry = file(index);
    entry.fraction = std::clamp(fraction, 0.0, 1.0);
    if (entry.started < 0) {
        entry.started = elapsed;
    }
    entry.last_elapsed = elapsed;
}

void BatchTimeLeft::file_done(int index, double elapsed) {
    file_progress(index, 1.0, elapsed);
    file(index).done = true;
}

void BatchTimeLeft::file_passed(int index) {
    file(index).passed = true;
}

std::optional<double> BatchTimeLeft::measured_unit_cost(bool film) const {
    double spent = 0;
    double units_done = 0;
    bool whole_file = false;
    for (const File& entry : files_) {
        if (entry.passed || !entry.glanced || entry.work.film != film || entry.started < 0) {
            continue;
        }
        spent += entry.last_elapsed - entry.started;
        units_done += units(entry.work) * entry.fraction;
        whole_file = whole_file || entry.done;
    }
    if (units_done <= 0 || spent <= 0 || (!whole_file && spent < least_measured_seconds)) {
        return std::nullopt;
    }
    return spent / units_done;
}

std::optional<double> BatchTimeLeft::unit_cost(bool film) const {
    if (const std::optional<double> own = measured_unit_cost(film)) {
        return own;
    }
    return measured_unit_cost(!film);
}

std::optional<double> BatchTimeLeft::seconds_left(int file_count, int converters) const {
    const std::optional<double> film_cost = unit_cost(true);
    const std::optional<double> sound_cost = unit_cost(false);
    if (!film_cost || !sound_cost) {
        return std::nullopt;
    }
    double glanced_seconds = 0;
    int glanced = 0;
    for (const File& entry : files_) {
        if (entry.glanced && !entry.passed) {
            glanced_seconds += units(entry.work) * (entry.work.film ? *film_cost : *sound_cost);
            ++glanced;
        }
    }
    const double usual = glanced > 0 ? glanced_seconds / glanced : 0;
    double left = 0;
    double longest = 0;
    int going = 0;
    for (int index = 0; index < file_count; ++index) {
        const File entry = static_cast<std::size_t>(index) < files_.size()
                               ? files_[static_cast<std::size_t>(index)]
                               : File{};
        if (entry.passed || entry.done) {
            continue;
        }
        const double whole = entry.glanced
                                 ? units(entry.work) * (entry.work.film ? *film_cost : *sound_cost)
                                 : usual;
        const double rest = whole * (1.0 - entry.fraction);
        left += rest;
        longest = std::max(longest, rest);
        ++going;
    }
    // Converters at once share what is left, but no file is done sooner than it takes alone.
    const int together = std::clamp(converters, 1, std::max(going, 1));
    return std::max(left / together, longest);
}

} // namespace morvane
