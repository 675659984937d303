// SPDX-License-Identifier: GPL-3.0-or-later
#include "jobs/conversion_job.h"

#include "engine/frame_size_fit.h"
#include "jobs/clock_text.h"
#include "jobs/output_mark.h"
#include "jobs/output_naming.h"
#include "jobs/source_identity.h"
#include "jobs/temporary_output.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <optional>
#include <sys/stat.h>

namespace morvane {

namespace {

// A keyframe every two seconds: the players seek to it quickly, and it costs little.
constexpr double keyframe_seconds = 2.0;
// The players' decoder buffer, in seconds of their maximum rate: no second of a film then
// carries more than 1.1 times that maximum, on any content.
constexpr double buffer_seconds = 0.1;
// An output this much shorter than its input says (and by this share) is not the input
// converted: the rest is missing, cut off or unreadable.
constexpr double max_missing_seconds = 2.0;
constexpr double max_missing_share = 0.05;
// A track that ends this many seconds away from where its input stream ends, or from the
// other track when their inputs end together, was cut, moved or padded on the way.
constexpr double max_track_difference = 1.0;

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
    if (const auto picture = input.picture();
        picture && std::int64_t{picture->width} * picture->height > MediaInput::max_pixels) {
        return "its picture is larger than 8K (" + std::to_string(picture->width) + "x" +
               std::to_string(picture->height) + ")";
    }
    if (const auto sound = input.sound(); sound && !avcodec_find_decoder(sound->codec)) {
        return std::string("cannot decode its sound (") + avcodec_get_name(sound->codec) + ")";
    }
    return std::nullopt;
}

const char* track_name(AVMediaType type) {
    return type == AVMEDIA_TYPE_VIDEO ? "picture" : "sound";
}

std::string seconds_text(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f s", seconds);
    return text;
}

// Why the tracks made are not the input's, by track and by how much; nothing when they are.
std::optional<std::string> misplaced_track(const ConversionResult& result) {
    for (const ConversionResult::Track& track : result.tracks) {
        if (track.input_end < 0) {
            continue;
        }
        const std::string name = track_name(track.type);
        if (track.output_end < 0) {
            return "incomplete: nothing of its " + name + " could be decoded";
        }
        const double difference = track.output_end - track.input_end;
        if (difference < -max_track_difference) {
            return "incomplete: its " + name + " ends " + seconds_text(-difference) +
                   " before the input's, at " + clock_text(track.output_end);
        }
        if (difference > max_track_difference) {
            return "incomplete: its " + name + " runs " + seconds_text(difference) +
                   " past the input's end";
        }
    }
    if (result.tracks.size() == 2) {
        const ConversionResult::Track& first = result.tracks[0];
        const ConversionResult::Track& second = result.tracks[1];
        const double apart = second.output_end - first.output_end;
        if (first.input_end >= 0 && second.input_end >= 0 &&
            std::abs(second.input_end - first.input_end) <= max_track_difference &&
            std::abs(apart) > max_track_difference) {
            const ConversionResult::Track& later = apart > 0 ? second : first;
            const ConversionResult::Track& earlier = apart > 0 ? first : second;
            return std::string("incomplete: its ") + track_name(later.type) + " ends " +
                   seconds_text(std::abs(apart)) + " after its " + track_name(earlier.type);
        }
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

ConversionPlan conversion_plan(const DeviceProfile& device, const MediaInput& input,
                               const std::string& source) {
    ConversionPlan plan;
    const std::optional<MediaInput::Picture> picture = input.picture();
    const std::optional<MediaInput::Sound> sound = input.sound();
    const bool film = device.plays_video && picture.has_value();
    if (film) {
        // The screen on its side, as films are watched.
        const int width = std::max(device.screen_width, device.screen_height);
        const int height = std::min(device.screen_width, device.screen_height);
        const FrameSizeFit fit = fit_frame_size(picture->width, picture->height, width, height);
        ConversionPlan::Picture& out = plan.picture.emplace();
        out.codec = device.video_codec;
        out.picture_width = fit.width;
        out.picture_height = fit.height;
        out.left = fit.pads_valid ? fit.pad_left : 0;
        out.top = fit.pads_valid ? fit.pad_top : 0;
        out.frame_width = fit.pads_valid ? fit.width + fit.pad_left + fit.pad_right : fit.width;
        out.frame_height = fit.pads_valid ? fit.height + fit.pad_top + fit.pad_bottom : fit.height;
        out.frame_rate = AVRational{30000, 1001};
        out.bit_rate = device.video_bit_rate;
        out.max_rate = device.video_max_rate;
        out.buffer_size = static_cast<int>(device.video_max_rate * buffer_seconds);
        out.keyframe_interval =
            static_cast<int>(std::lround(keyframe_seconds * av_q2d(out.frame_rate)));
        // The header keeps Simple Profile level 1, as every MPEG-4 file made by FFmpeg for
        // these players has for years: Apple names Simple Profile up to 2.5 Mb/s and 640x480
        // for them, but no level, and nothing shows that a player accepts a higher one.
    }
    if (sound || film) {
        ConversionPlan::Sound& out = plan.sound.emplace();
        out.codec = film ? device.video_audio_codec : device.audio_codec;
        out.sample_rate = device.sample_rate.value_or(sound ? sound->sample_rate : 44100);
        out.channels = device.channels.value_or(sound ? sound->channels : 2);
        // The players want a sound track with every film: silence where there is none.
        out.silence = !sound;
    }
    plan.tags = output_mark_tags(source);
    return plan;
}

JobOutcome ConversionJob::convert_one(const std::string& path, const DeviceProfile& device,
                                      const std::string& output_folder, ProgressSink* sink,
                                      const ConversionStart& on_conversion_start) {
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
    ConversionPlan plan = conversion_plan(device, input, source.value_or(""));
    if (!source) {
        plan.tags.clear(); // unmarked: a rerun never takes it for this input's
    }

    const std::string folder = planned.substr(0, planned.find_last_of('/') + 1);
    TemporaryOutput output;
    if (const std::optional<std::string> error = output.create(folder, extension)) {
        return failed("cannot write in the output folder: " + *error);
    }
    if (on_conversion_start) {
        on_conversion_start(input.duration_seconds(), film);
    }
    const ConversionResult result = engine_.convert(input, output.path(), plan, sink);
    if (result.status == ConversionResult::Status::failed) {
        return failed(result.reason); // the temporary goes with `output`
    }
    const bool stopped = result.status == ConversionResult::Status::stopped;
    JobOutcome outcome;
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
    // A length the container counted up to a time that was taken for damage is not the
    // input's.
    double stated = input.stated_duration_seconds();
    if (result.dropped_time >= 0 && stated >= result.dropped_time - max_track_difference) {
        stated = 0;
        outcome.seconds_total = result.seconds_reached;
    }
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
    } else if (const std::optional<std::string> misplaced = misplaced_track(result)) {
        outcome.status = JobStatus::incomplete;
        outcome.reason = *misplaced;
    }
    return outcome;
}

} // namespace morvane
