// SPDX-License-Identifier: GPL-3.0-or-later
#include "jobs/conversion_job.h"

#include "jobs/clock_text.h"
#include "jobs/device_plan.h"
#include "jobs/output_mark.h"
#include "jobs/output_naming.h"
#include "jobs/source_identity.h"
#include "jobs/temporary_output.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <optional>
#include <sys/stat.h>

namespace morvane {

namespace {

// An output this much shorter than its input says (and by this share) is not the input
// converted: the rest is missing, cut off or unreadable.
constexpr double max_missing_seconds = 2.0;
constexpr double max_missing_share = 0.05;

JobOutcome failed(std::string reason) {
    JobOutcome outcome;
    outcome.reason = std::move(reason);
    return outcome;
}

// Why a path cannot be an input at all, in plain words; nothing when it is a file.
std::optional<std::string> unreadable_input(const std::string& path) {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) {
        return errno == ENOENT ? std::string("no such file") : std::string(std::strerror(errno));
    }
    if (S_ISDIR(status.st_mode)) {
        return std::string("is a folder");
    }
    if (!S_ISREG(status.st_mode)) {
        // Reading a named pipe or a device would wait for data forever.
        return std::string("not a regular file");
    }
    return std::nullopt;
}

// Why the input's streams cannot be decoded here; nothing when they can. Whatever FFmpeg on
// this system decodes is taken.
std::optional<std::string> undecodable(const MediaInput& input) {
    if (const auto picture = input.picture(); picture && !avcodec_find_decoder(picture->codec)) {
        return std::string("cannot decode its video (") + avcodec_get_name(picture->codec) + ")";
    }
    if (const auto sound = input.sound(); sound && !avcodec_find_decoder(sound->codec)) {
        return std::string("cannot decode its sound (") + avcodec_get_name(sound->codec) + ")";
    }
    return std::nullopt;
}

// "0:04 of 0:20", or "0:04" when the whole is unknown.
std::string progress_text(double seconds, double total) {
    return total > 0 ? clock_text(seconds) + " of " + clock_text(total) : clock_text(seconds);
}

// The outputs this input made before, among the names its output takes (the planned name,
// then name_0, name_1, ... up to the first free one): a complete one, and one a stop cut short.
struct EarlierOutputs {
    std::string complete;
    std::string cut;
};

EarlierOutputs earlier_outputs(const std::optional<std::string>& source, const std::string& planned,
                               const std::string& extension) {
    EarlierOutputs found;
    if (!source) {
        return found;
    }
    for (long long attempt = 0;; ++attempt) {
        const std::string candidate = output_name_candidate(planned, extension, attempt);
        struct stat status {};
        if (::lstat(candidate.c_str(), &status) != 0) {
            return found;
        }
        if (!S_ISREG(status.st_mode)) {
            continue;
        }
        if (const std::optional<OutputMark> mark = read_output_mark(candidate);
            mark && mark->source == *source) {
            std::string& slot = mark->complete ? found.complete : found.cut;
            if (slot.empty()) {
                slot = candidate;
            }
        }
    }
}

bool is_cut_output_of(const std::string& path, const std::optional<std::string>& source) {
    const std::optional<OutputMark> mark = read_output_mark(path);
    return source && mark && mark->source == *source && !mark->complete;
}

} // namespace

std::string stopped_text(const JobOutcome& outcome) {
    return "stopped at " + progress_text(outcome.seconds_done, outcome.seconds_total);
}

JobOutcome ConversionJob::convert_one(const std::string& path, const DeviceProfile& device,
                                      const std::string& output_folder, ProgressSink* sink,
                                      const std::function<void(double)>& on_conversion_start) {
    if (const std::optional<std::string> refusal = unreadable_input(path)) {
        return failed(*refusal);
    }
    // The engine's own opening of the file is what the checks read: one probe, and the
    // streams checked are the very streams converted.
    MediaInput input;
    if (const std::optional<std::string> error = input.open(path)) {
        return failed(*error);
    }
    if (const std::optional<std::string> refusal = undecodable(input)) {
        return failed(*refusal);
    }
    const bool film = device.plays_video && input.picture().has_value();
    if (!film && !input.sound()) {
        return failed("no sound to convert");
    }
    const std::string& extension = film ? device.video_extension : device.audio_extension;
    const std::string planned = planned_output_path(device, path, film, output_folder);
    const std::optional<std::string> source = source_identity(path);
    const EarlierOutputs earlier = earlier_outputs(source, planned, extension);
    if (skip_existing_ && !earlier.complete.empty()) {
        JobOutcome outcome;
        outcome.status = JobStatus::skipped;
        outcome.reason = "already converted: " + earlier.complete;
        return outcome;
    }
    ConversionPlan plan = conversion_plan(device, video_codec_, input, source.value_or(""));
    if (!source) {
        plan.tags.clear(); // unmarked: a rerun never takes it for this input's
    }

    const std::string folder = planned.substr(0, planned.find_last_of('/') + 1);
    TemporaryOutput output;
    if (const std::optional<std::string> error = output.create(folder, extension)) {
        return failed("cannot write in the output folder: " + *error);
    }
    if (on_conversion_start) {
        on_conversion_start(input.duration_seconds());
    }
    const ConversionResult result = engine_.convert(input, output.path(), plan, sink);
    if (result.status == ConversionResult::Status::failed) {
        return failed(result.reason); // the temporary goes with `output`
    }
    const bool stopped = result.status == ConversionResult::Status::stopped;
    JobOutcome outcome;
    if (film) {
        outcome.video_codec = device.film_format(video_codec_)->codec;
    }
    outcome.seconds_total = input.duration_seconds();
    outcome.seconds_done = result.seconds_reached;
    if (result.packets_written == 0) {
        if (stopped) {
            outcome.status = JobStatus::stopped; // before its first packet: nothing to keep
            return outcome;
        }
        return failed("nothing in this file could be decoded");
    }
    if (film && result.pictures_written == 0 && !stopped) {
        return failed("no picture in this file could be decoded");
    }
    if (source) {
        // Unmarked, the output is still good; a rerun just does not know it as this input's.
        finish_output_mark(output.path(), *source, !stopped);
    }
    // A cut output of this input is replaced, if it still is one; otherwise a new name.
    const bool replace = !earlier.cut.empty() && is_cut_output_of(earlier.cut, source);
    const std::optional<std::string> error =
        replace ? output.commit_replacing(earlier.cut)
                : output.commit(planned, extension, outcome.output_path);
    if (error) {
        return failed("cannot write the output file: " + *error);
    }
    if (replace) {
        outcome.output_path = earlier.cut;
    }
    if (stopped) {
        outcome.status = JobStatus::stopped;
        return outcome;
    }
    outcome.status = JobStatus::converted;
    const double stated = input.stated_duration_seconds();
    const double missing = stated - result.seconds_reached;
    if (!result.read_error.empty()) {
        outcome.status = JobStatus::incomplete;
        outcome.reason = "incomplete: reading failed at " +
                         progress_text(result.seconds_reached, stated) + " (" + result.read_error +
                         ")";
    } else if (stated > 0 && missing > max_missing_seconds &&
               missing > max_missing_share * stated) {
        outcome.status = JobStatus::incomplete;
        outcome.reason =
            "incomplete: the input ends at " + progress_text(result.seconds_reached, stated);
    }
    return outcome;
}

} // namespace morvane
