// SPDX-License-Identifier: GPL-3.0-or-later
#include "jobs/conversion_job.h"

#include "engine/codec_names.h"
#include "engine/input_tags.h"
#include "jobs/clock_text.h"
#include "jobs/device_plan.h"
#include "jobs/output_mark.h"
#include "jobs/output_naming.h"
#include "jobs/output_target.h"
#include "jobs/source_identity.h"
#include "jobs/tag_file.h"
#include "jobs/temporary_output.h"
#include "jobs/track_tags.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <optional>
#include <sys/stat.h>

namespace morvane {

namespace {

// An output this much shorter than its input says (and by this share) is not the input
// converted: the rest is missing, cut off or unreadable.
constexpr double max_missing_seconds = 2.0;
constexpr double max_missing_share = 0.05;
// A track that ends this many seconds away from where its input stream ends, or from the
// other track when their inputs end together, was cut, moved or padded on the way.
constexpr double max_track_difference = 1.0;

constexpr const char* replay_gain_key = "REPLAYGAIN_TRACK_GAIN";
// ReplayGain 2.0 brings every song to this loudness (LUFS).
constexpr double replay_gain_reference = -18.0;
// Below this (EBU R 128's absolute gate) there is no sound to level: silence.
constexpr double quietest_measured = -69.9;

// "-3.21 dB": the gain that brings a sound of `loudness` (LUFS) to the reference; nothing for
// silence.
std::optional<std::string> replay_gain(double loudness) {
    if (!(loudness > quietest_measured)) {
        return std::nullopt;
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.2f dB", replay_gain_reference - loudness);
    return std::string(text);
}

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
    if (const auto picture = input.picture(); picture && !can_decode(picture->codec)) {
        return "cannot decode its video (" + codec_name(picture->codec) + ")";
    }
    if (const auto picture = input.picture();
        picture && std::int64_t{picture->width} * picture->height > MediaInput::max_pixels) {
        return "its picture is larger than 8K (" + std::to_string(picture->width) + "x" +
               std::to_string(picture->height) + ")";
    }
    if (const auto sound = input.sound(); sound && !can_decode(sound->codec)) {
        return "cannot decode its sound (" + codec_name(sound->codec) + ")";
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

// "25 s", "10 min", "1 h 10 min", "13 days": how far a stamp was off.
std::string offset_text(double seconds) {
    const long long whole = std::llround(seconds);
    char text[48];
    if (whole >= 2 * 86400) {
        std::snprintf(text, sizeof text, "%lld days", whole / 86400);
    } else if (whole >= 3600) {
        const long long minutes = whole % 3600 / 60;
        std::snprintf(text, sizeof text, minutes > 0 ? "%lld h %lld min" : "%lld h", whole / 3600,
                      minutes);
    } else if (whole >= 60) {
        std::snprintf(text, sizeof text, "%lld min", (whole + 30) / 60);
    } else {
        std::snprintf(text, sizeof text, "%.1f s", seconds);
    }
    return text;
}

// What was mended in the input's times on the way, each in words.
std::vector<std::string> mended(const ConversionResult& result) {
    std::vector<std::string> mends;
    const auto ignored = [&mends](const ConversionResult::IgnoredStamps& stamps, const char* one,
                                  const char* many) {
        if (stamps.count == 1) {
            mends.push_back(std::string("one ") + one + " stamp was " +
                            offset_text(stamps.largest_offset) + " off and was ignored");
        } else if (stamps.count > 1) {
            mends.push_back(std::to_string(stamps.count) + " " + many + " stamps were up to " +
                            offset_text(stamps.largest_offset) + " off and were ignored");
        }
    };
    ignored(result.ignored_picture_stamps, "picture's", "pictures'");
    ignored(result.ignored_sound_stamps, "sound packet's", "sound packets'");
    if (result.restarts > 0) {
        mends.push_back(std::to_string(result.restarts + 1) +
                        " recordings joined end to end were read one after the other");
    }
    return mends;
}

// "0:04 of 0:20", or "0:04" when the whole is unknown.
std::string progress_text(double seconds, double total) {
    return total > 0 ? clock_text(seconds) + " of " + clock_text(total) : clock_text(seconds);
}

// What earlier runs left among the names this output takes (the planned name, then name_0,
// name_1, ... up to the first free one).
struct EarlierOutputs {
    // Of this very source, for the same device:
    std::string complete;
    std::string incomplete;
    std::string incomplete_reason;
    std::string cut; // the longest a stop cut short
    double cut_seconds = 0;
    // Of this file as it was before its content changed (the same file at the same place):
    // the output the new one replaces.
    std::string outdated;
    // Of `cut` and `outdated`, which file each was: another process may replace it meanwhile.
    std::map<std::string, ino_t> inodes;
};

// How far a cut output got; earlier versions did not record it, so it is read off the file.
double cut_length(const OutputMark& mark, const std::string& path) {
    if (mark.seconds > 0 || !mark.target.empty()) {
        return mark.seconds;
    }
    MediaInput output;
    return output.open(path) ? 0.0 : output.duration_seconds();
}

EarlierOutputs earlier_outputs(const std::optional<SourceIdentity>& source,
                               const OutputMark& new_mark, const std::string& planned,
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
        const std::optional<OutputMark> mark =
            S_ISREG(status.st_mode) ? read_output_mark(candidate) : std::nullopt;
        if (!mark) {
            continue;
        }
        if (source->is(mark->source)) {
            // Outputs of earlier versions do not say what they were made for: their streams do.
            const std::string target =
                mark->target.empty() ? probed_output_target(candidate) : mark->target;
            if (target != new_mark.target) {
                continue;
            }
            switch (mark->state) {
            case OutputMark::State::complete:
                found.complete = found.complete.empty() ? candidate : found.complete;
                break;
            case OutputMark::State::incomplete:
                if (found.incomplete.empty()) {
                    found.incomplete = candidate;
                    found.incomplete_reason = mark->reason;
                }
                break;
            case OutputMark::State::stopped:
                if (const double seconds = cut_length(*mark, candidate);
                    found.cut.empty() || seconds > found.cut_seconds) {
                    found.cut = candidate;
                    found.cut_seconds = seconds;
                    found.inodes[candidate] = status.st_ino;
                }
                break;
            }
        } else if (found.outdated.empty() && !mark->location.empty() &&
                   mark->location == new_mark.location &&
                   mark->relative_path == new_mark.relative_path &&
                   mark->target == new_mark.target) {
            found.outdated = candidate;
            found.inodes[candidate] = status.st_ino;
        }
    }
}

// Whether `path` still names the file found there.
bool still_there(const std::string& path, const EarlierOutputs& found) {
    struct stat status {};
    const auto inode = found.inodes.find(path);
    return inode != found.inodes.end() && ::lstat(path.c_str(), &status) == 0 &&
           status.st_ino == inode->second;
}

std::string parent_of(const std::string& relative_path) {
    const std::size_t slash = relative_path.find_last_of('/');
    return slash == std::string::npos ? std::string() : relative_path.substr(0, slash);
}

} // namespace

std::string stopped_text(const JobOutcome& outcome) {
    return "stopped at " + progress_text(outcome.seconds_done, outcome.seconds_total);
}

JobOutcome ConversionJob::convert_one(const std::string& path, const DeviceProfile& device,
                                      const std::string& output_folder, ProgressSink* sink,
                                      const ConversionStart& on_conversion_start) {
    return convert_one(CollectedInput{path, std::filesystem::path(path).filename().string(), {}},
                       device, output_folder, sink, on_conversion_start);
}

JobOutcome ConversionJob::convert_one(const CollectedInput& item, const DeviceProfile& device,
                                      const std::string& output_folder, ProgressSink* sink,
                                      const ConversionStart& on_conversion_start) {
    const std::string& path = item.path;
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
    ConversionPlan plan = conversion_plan(device, video_codec_, input);
    const std::string& extension = film ? device.video_extension : device.audio_extension;
    const std::optional<SourceIdentity> source = SourceIdentity::of(path);

    JobOutcome outcome;
    if (film) {
        outcome.video_codec = device.film_format(video_codec_)->codec;
    }
    outcome.seconds_total = input.duration_seconds();
    outcome.source = source ? source->text() : std::string();
    outcome.target = output_target(plan, extension);
    outcome.player_name = output_base_name(path) + extension;
    outcome.player_folder = keep_folders_ ? parent_of(item.relative_path) : std::string();
    std::string folder = output_folder;
    if (!outcome.player_folder.empty()) {
        folder += (folder.empty() || folder.back() == '/' ? "" : "/") + outcome.player_folder;
        std::error_code error;
        std::filesystem::create_directories(folder, error);
        if (error) {
            return failed("cannot create the folder " + folder + ": " + error.message());
        }
    }
    const std::string planned = planned_output_path(folder, output_base_name(path), extension);
    OutputMark mark;
    mark.source = outcome.source;
    mark.target = outcome.target;
    mark.relative_path = item.relative_path;
    mark.location = source_location(path);
    const EarlierOutputs earlier = earlier_outputs(source, mark, planned, extension);
    if (skip_existing_ && !earlier.complete.empty()) {
        outcome.status = JobStatus::skipped;
        outcome.output_path = earlier.complete;
        outcome.reason = "already converted: " + earlier.complete;
        return outcome;
    }
    if (skip_existing_ && !earlier.incomplete.empty()) {
        // Converting the same damaged file again would only give the same output.
        outcome.status = JobStatus::incomplete;
        outcome.output_path = earlier.incomplete;
        outcome.reason = earlier.incomplete_reason;
        // Its mark says why it is incomplete; how far it reached, its own length says.
        MediaInput kept;
        outcome.seconds_done = kept.open(earlier.incomplete) ? 0.0 : kept.duration_seconds();
        return outcome;
    }
    // Read before converting: what the source says of itself, in whichever format.
    const std::optional<FileTags> source_file_tags = read_file_tags(path);
    TrackTags tags =
        carried_tags(merged_tags(tags_from_ffmpeg(input_tags(input)),
                                 source_file_tags ? source_file_tags->properties : TrackTags{}));
    // A player levels the volume from ReplayGain: measured while converting when the source
    // does not say.
    const bool measure_loudness =
        plan.sound && !plan.sound->silence && !tags.contains(replay_gain_key);
    if (measure_loudness) {
        plan.sound->measure_loudness = true;
    }

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
    outcome.seconds_done = result.seconds_reached;
    outcome.mended = mended(result);
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
    outcome.status = JobStatus::converted;
    // A length the container counted up to a time that was taken for damage is not the
    // input's.
    double stated = input.stated_duration_seconds();
    if (result.dropped_time >= 0 && stated >= result.dropped_time - max_track_difference) {
        stated = 0;
        outcome.seconds_total = result.seconds_reached;
    }
    if (result.restarts > 0 && !stopped) {
        // The length estimated from the first of recordings joined end to end is not theirs.
        outcome.seconds_total = std::max(outcome.seconds_total, result.seconds_reached);
    }
    const double missing = stated - result.seconds_reached;
    if (stopped) {
        outcome.status = JobStatus::stopped;
        mark.state = OutputMark::State::stopped;
        mark.seconds = result.seconds_reached;
    } else if (!result.read_error.empty()) {
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
    if (outcome.status == JobStatus::incomplete) {
        mark.state = OutputMark::State::incomplete;
        mark.reason = outcome.reason;
    }
    if (measure_loudness && result.loudness) {
        if (const std::optional<std::string> gain = replay_gain(*result.loudness)) {
            tags[replay_gain_key] = {*gain};
        }
    }
    // Unmarked (a source that could not be read for its identity, or tags that could not be
    // written), the output is still good; a rerun just does not know it as this input's.
    write_file_tags(output.path(), tags,
                    source ? mark.entries() : std::map<std::string, std::string>{});

    if (stopped && !earlier.cut.empty() && earlier.cut_seconds >= result.seconds_reached) {
        // A longer cut is never replaced by a shorter one.
        outcome.output_path = earlier.cut;
        outcome.seconds_done = earlier.cut_seconds;
        return outcome; // the new, shorter temporary goes with `output`
    }
    // A cut output of this input is replaced by a longer one; the output of this file as it
    // was before it changed, by a whole one. Otherwise a new name.
    std::string replaced = earlier.cut;
    if (replaced.empty() && !stopped) {
        replaced = earlier.outdated;
    }
    if (!replaced.empty() && !still_there(replaced, earlier)) {
        replaced.clear();
    }
    const std::optional<std::string> error =
        !replaced.empty() ? output.commit_replacing(replaced)
                          : output.commit(planned, extension, outcome.output_path);
    if (error) {
        return failed("cannot write the output file: " + *error);
    }
    if (!replaced.empty()) {
        outcome.output_path = replaced;
    }
    return outcome;
}

} // namespace morvane
