// SPDX-License-Identifier: GPL-3.0-or-later
#include "jobs/batch_time_left.h"

#include <algorithm>

namespace morvane {

namespace {

// Until the batch shows otherwise: a second of film (decoding, scaling, encoding pictures)
// costs about twenty of sound alone.
constexpr double film_to_sound_cost = 20.0;
// Progress over less than this much time says little of a kind's cost.
constexpr double least_measured_seconds = 0.5;

} // namespace

BatchTimeLeft::File& BatchTimeLeft::file(int index) {
    const auto at = static_cast<std::size_t>(std::max(index, 0));
    if (at >= files_.size()) {
        files_.resize(at + 1);
    }
    return files_[at];
}

void BatchTimeLeft::file_progress(int index, double seconds, double fraction, Kind kind,
                                  double elapsed) {
    File& entry = file(index);
    entry.seconds = std::max(seconds, 0.0);
    entry.fraction = std::clamp(fraction, 0.0, 1.0);
    entry.kind = kind;
    if (elapsed >= 0) {
        if (entry.first_elapsed < 0) {
            entry.first_elapsed = elapsed;
            entry.first_fraction = entry.fraction;
        }
        entry.last_elapsed = elapsed;
    }
}

void BatchTimeLeft::file_passed(int index) {
    file(index).passed = true;
}

std::optional<double> BatchTimeLeft::measured_cost(Kind kind) const {
    double spent = 0;
    double media = 0;
    for (const File& entry : files_) {
        if (!entry.passed && entry.kind == kind && entry.first_elapsed >= 0 && entry.seconds > 0) {
            spent += entry.last_elapsed - entry.first_elapsed;
            media += entry.seconds * (entry.fraction - entry.first_fraction);
        }
    }
    if (spent < least_measured_seconds || media <= 0) {
        return std::nullopt;
    }
    return spent / media;
}

double BatchTimeLeft::cost(Kind kind) const {
    const std::optional<double> film = measured_cost(Kind::film);
    const std::optional<double> sound = measured_cost(Kind::sound);
    if (film && sound) {
        return kind == Kind::film ? *film : *sound;
    }
    return kind == Kind::film ? film_to_sound_cost : 1.0;
}

std::optional<double> BatchTimeLeft::seconds_left(double elapsed, int file_count) const {
    double known_weight = 0;
    int known = 0;
    for (const File& entry : files_) {
        if (!entry.passed && entry.seconds > 0) {
            known_weight += entry.seconds * cost(entry.kind);
            ++known;
        }
    }
    const double usual = known > 0 ? known_weight / known : 1.0;
    double whole = 0;
    double done = 0;
    for (int index = 0; index < file_count; ++index) {
        const File entry = static_cast<std::size_t>(index) < files_.size()
                               ? files_[static_cast<std::size_t>(index)]
                               : File{};
        if (!entry.passed) {
            const double weight = entry.seconds > 0 ? entry.seconds * cost(entry.kind) : usual;
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
