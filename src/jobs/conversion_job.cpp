// SPDX-License-Identifier: GPL-3.0-or-later
#include "jobs/conversion_job.h"

#include "engine/codec_names.h"
#include "engine/input_tags.h"
#include "engine/input_tracks.h"
#include "jobs/clock_text.h"
#include "jobs/device_plan.h"
#include "jobs/language_codes.h"
#include "jobs/output_mark.h"
#include "jobs/output_naming.h"
#include "jobs/output_target.h"
#include "jobs/source_identity.h"
#include "jobs/subtitle_track_choice.h"
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

const char* track_name(ConversionResult::Track::Kind kind) {
    return kind == ConversionResult::Track::Kind::picture ? "picture" : "sound";
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
        const std::string name = track_name(track.kind);
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
            return std::string("incomplete: its ") + track_name(later.kind) + " ends " +
                   seconds_text(std::abs(apart)) + " after its " + track_name(earlier.kind);
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

// Why a conversion that ran to its end did not make the whole input, in words; nothing when
// it did. `stated` is the input's stated length (0: none to trust).
std::optional<std::string> incomplete_reason(const ConversionResult& result, double stated) {
    const double missing = stated - result.seconds_reached;
    if (!result.read_error.empty()) {
        return "incomplete: reading failed at " + progress_text(result.seconds_reached, stated) +
               " (" + result.read_error + ")";
    }
    if (stated > 0 && missing > max_missing_seconds && missing > max_missing_share * stated) {
        return "incomplete: the input ends at " + progress_text(result.seconds_reached, stated);
    }
    return misplaced_track(result);
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

struct ConversionJob::FileWork {
    FileWork(const CollectedInput& collected, const DeviceProfile& target)
        : item(collected), device(target) {}

    const CollectedInput& item;
    const DeviceProfile& device;
    MediaInput input;
    ConversionPlan plan;
    // The film's subtitles, as the plan shows them.
    std::optional<SubtitleTrackChoice> subtitles;
    std::string extension; // the output's, with its dot
    std::optional<SourceIdentity> source;
    std::string folder;  // where the output goes
    std::string planned; // its name there, before any "_<n>"
    OutputMark mark;     // what the output will say of itself
    EarlierOutputs earlier;
    TrackTags tags; // what the output will carry
    bool measure_loudness = false;
    TemporaryOutput output;
    ConversionResult result;
    bool stopped = false;
    JobOutcome outcome;
};

JobOutcome ConversionJob::convert_one(const CollectedInput& item, const DeviceProfile& device,
                                      const std::string& output_folder, ProgressSink* sink,
                                      const ConversionStart& on_conversion_start) {
    bool copy_damaged = false;
    JobOutcome outcome =
        run_steps(item, device, output_folder, sink, on_conversion_start, true, copy_damaged);
    if (copy_damaged) {
        // A copy would carry the damage: converting decodes what can be decoded, as for any
        // damaged file, and says how it went. The front end heard of the start already.
        outcome = run_steps(item, device, output_folder, sink, {}, false, copy_damaged);
    }
    return outcome;
}

JobOutcome ConversionJob::run_steps(const CollectedInput& item, const DeviceProfile& device,
                                    const std::string& output_folder, ProgressSink* sink,
                                    const ConversionStart& on_conversion_start,
                                    bool copy_played_sound, bool& copy_damaged) {
    FileWork work(item, device);
    if (const std::optional<std::string> refusal = open_input(work, copy_played_sound)) {
        return failed(*refusal);
    }
    if (const std::optional<std::string> error = name_output(work, output_folder)) {
        return failed(*error);
    }
    if (std::optional<JobOutcome> earlier = rerun_outcome(work)) {
        return std::move(*earlier);
    }
    read_tags(work);
    if (const std::optional<std::string> error = convert(work, sink, on_conversion_start)) {
        copy_damaged = work.result.damaged_copy;
        return failed(*error); // the temporary goes with `work`
    }
    if (std::optional<JobOutcome> ended = judge(work)) {
        return std::move(*ended);
    }
    write_tags(work);
    return commit(work);
}

// Refusals with reasons, and the plan: the engine's own opening of the file is what the checks
// read (one probe, and the streams checked are the very streams converted). The plan says
// whether the output is a film.
std::optional<std::string> ConversionJob::open_input(FileWork& work, bool copy_played_sound) const {
    if (const std::optional<std::string> refusal = unreadable_input(work.item.path)) {
        return refusal;
    }
    if (const std::optional<std::string> error = work.input.open(work.item.path)) {
        return error;
    }
    if (const std::optional<std::string> refusal = undecodable(work.input)) {
        return refusal;
    }
    work.plan = conversion_plan(work.device, choices_, work.input, copy_played_sound);
    if (!work.plan.picture && !work.plan.sound) {
        return "no sound to convert";
    }
    work.outcome.film = work.plan.picture.has_value();
    if (work.outcome.film && !films_refusal_.empty()) {
        return films_refusal_; // converting it would be for nothing
    }
    if (work.outcome.film) {
        work.outcome.video_codec = work.device.film_format(choices_.video_codec)->codec;
        if (const std::optional<PictureCrop>& crop = work.plan.picture->crop) {
            work.outcome.crop = "cropped " + std::to_string(crop->width) + "×" +
                                std::to_string(crop->height) + " from " +
                                std::to_string(crop->full_width) + "×" +
                                std::to_string(crop->full_height);
        }
    }
    if (work.plan.sound && !work.plan.sound->silence) {
        const int taken =
            work.plan.sound->stream >= 0 ? work.plan.sound->stream : work.input.streams().audio;
        for (const InputTrack& track : input_tracks(work.input)) {
            // Counted as the choice counts them: sound whose shape is known.
            if (track.kind != InputTrack::Kind::sound || track.channels <= 0 ||
                track.sample_rate <= 0) {
                continue;
            }
            work.outcome.sound_tracks += 1;
            if (track.index == taken) {
                work.outcome.sound_track =
                    JobOutcome::SoundTrack{normalised_language(track.language), track.title};
            }
        }
    }
    std::string sound_language;
    work.subtitles = film_subtitle_track(work.plan, work.input, choices_,
                                         work.device.shows_subtitle_tracks, sound_language);
    if (work.subtitles) {
        work.outcome.subtitles = subtitle_words(*work.subtitles, sound_language);
    }
    work.outcome.seconds_total = work.input.duration_seconds();
    return std::nullopt;
}

// What the output is (its source, target and names, here and on a player), where it goes,
// and what earlier runs left under its names.
std::optional<std::string> ConversionJob::name_output(FileWork& work,
                                                      const std::string& output_folder) const {
    const std::string& path = work.item.path;
    JobOutcome& outcome = work.outcome;
    work.extension = outcome.film ? work.device.video_extension : work.device.audio_extension;
    work.source = SourceIdentity::of(path);
    outcome.source = work.source ? work.source->text() : std::string();
    outcome.target = output_target(work.plan, work.extension);
    outcome.player_name = output_base_name(path) + work.extension;
    outcome.player_folder = keep_folders_ ? parent_of(work.item.relative_path) : std::string();
    work.folder = output_folder;
    if (!outcome.player_folder.empty()) {
        work.folder +=
            (work.folder.empty() || work.folder.back() == '/' ? "" : "/") + outcome.player_folder;
        std::error_code error;
        std::filesystem::create_directories(work.folder, error);
        if (error) {
            return "cannot create the folder " + work.folder + ": " + error.message();
        }
    }
    work.planned = planned_output_path(work.folder, output_base_name(path), work.extension);
    work.mark.source = outcome.source;
    work.mark.target = outcome.target;
    work.mark.relative_path = work.item.relative_path;
    work.mark.location = source_location(path);
    work.earlier = earlier_outputs(work.source, work.mark, work.planned, work.extension);
    return std::nullopt;
}

// Whether an earlier run's output of this input stands for this one: skipped as converted, or
// incomplete again (converting the same damaged file again would only give the same output).
std::optional<JobOutcome> ConversionJob::rerun_outcome(const FileWork& work) const {
    if (!skip_existing_) {
        return std::nullopt;
    }
    JobOutcome outcome = work.outcome;
    if (!work.earlier.complete.empty()) {
        outcome.status = JobStatus::skipped;
        outcome.output_path = work.earlier.complete;
        outcome.reason = "already converted: " + work.earlier.complete;
        return outcome;
    }
    if (!work.earlier.incomplete.empty()) {
        outcome.status = JobStatus::incomplete;
        outcome.output_path = work.earlier.incomplete;
        outcome.reason = work.earlier.incomplete_reason;
        // Its mark says why it is incomplete; how far it reached, its own length says.
        MediaInput kept;
        outcome.seconds_done = kept.open(work.earlier.incomplete) ? 0.0 : kept.duration_seconds();
        return outcome;
    }
    return std::nullopt;
}

// What the source says of itself, in whichever format, read before converting. A player
// levels the volume from ReplayGain: measured while converting when the source does not say.
void ConversionJob::read_tags(FileWork& work) const {
    const std::optional<FileTags> source_file_tags = read_file_tags(work.item.path);
    work.tags =
        carried_tags(merged_tags(tags_from_ffmpeg(input_tags(work.input)),
                                 source_file_tags ? source_file_tags->properties : TrackTags{}));
    work.measure_loudness =
        work.plan.sound && !work.plan.sound->silence && !work.tags.contains(replay_gain_key);
    if (work.measure_loudness) {
        work.plan.sound->measure_loudness = true;
    }
}

// The conversion itself, into a hidden temporary in the output's folder.
std::optional<std::string>
ConversionJob::convert(FileWork& work, ProgressSink* sink,
                       const ConversionStart& on_conversion_start) const {
    if (const std::optional<std::string> error = work.output.create(work.folder, work.extension)) {
        return "cannot write in the output folder: " + *error;
    }
    if (on_conversion_start) {
        on_conversion_start(work.input.duration_seconds(), work.outcome.film);
    }
    work.result = engine_.convert(work.input, work.output.path(), work.plan, sink);
    if (work.result.status == ConversionResult::Status::failed) {
        return work.result.reason;
    }
    work.stopped = work.result.status == ConversionResult::Status::stopped;
    return std::nullopt;
}

// The verdict on what the engine made: converted, stopped or incomplete (with why, also in
// the output's mark); or the end of the file when nothing of it could be kept.
std::optional<JobOutcome> ConversionJob::judge(FileWork& work) const {
    const ConversionResult& result = work.result;
    JobOutcome& outcome = work.outcome;
    outcome.seconds_done = result.seconds_reached;
    outcome.mended = mended(result);
    if (work.subtitles && !result.subtitles.left_out.empty()) {
        outcome.subtitles = subtitles_left_out_words(*work.subtitles, result.subtitles.left_out);
    }
    if (result.packets_written == 0) {
        if (work.stopped) {
            outcome.status = JobStatus::stopped; // before its first packet: nothing to keep
            return outcome;
        }
        return failed("nothing in this file could be decoded");
    }
    if (outcome.film && result.pictures_written == 0 && !work.stopped) {
        return failed("no picture in this file could be decoded");
    }
    outcome.status = JobStatus::converted;
    const double stated = stated_length(work);
    if (work.stopped) {
        outcome.status = JobStatus::stopped;
        work.mark.state = OutputMark::State::stopped;
        work.mark.seconds = result.seconds_reached;
    } else if (std::optional<std::string> reason = incomplete_reason(result, stated)) {
        outcome.status = JobStatus::incomplete;
        outcome.reason = std::move(*reason);
        work.mark.state = OutputMark::State::incomplete;
        work.mark.reason = outcome.reason;
    } else if (work.plan.sound && work.plan.sound->copy) {
        outcome.status = JobStatus::copied;
        outcome.reason = "copied: already plays on the " + work.device.display_name;
    }
    return std::nullopt;
}

// The input's stated length where it is the input's (0 where not), and the outcome's total
// mended where what was read shows it wrong.
double ConversionJob::stated_length(FileWork& work) const {
    const ConversionResult& result = work.result;
    double stated = work.input.stated_duration_seconds();
    // A length the container counted up to a time that was taken for damage is not the
    // input's.
    if (result.dropped_time >= 0 && stated >= result.dropped_time - max_track_difference) {
        stated = 0;
        work.outcome.seconds_total = result.seconds_reached;
    }
    if (result.restarts > 0 && !work.stopped) {
        // The length estimated from the first of recordings joined end to end is not theirs.
        work.outcome.seconds_total = std::max(work.outcome.seconds_total, result.seconds_reached);
    }
    return stated;
}

// The tags and the mark, into the output. Unmarked (a source that could not be read for its
// identity, or tags that could not be written), the output is still good; a rerun just does
// not know it as this input's.
void ConversionJob::write_tags(FileWork& work) const {
    if (work.measure_loudness && work.result.loudness) {
        if (const std::optional<std::string> gain = replay_gain(*work.result.loudness)) {
            work.tags[replay_gain_key] = {*gain};
        }
    }
    write_file_tags(work.output.path(), work.tags,
                    work.source ? work.mark.entries() : std::map<std::string, std::string>{});
}

// The output put under its name: a new one, or in place of an output of this input that a
// stop cut shorter, or of this file before its content changed.
JobOutcome ConversionJob::commit(FileWork& work) const {
    JobOutcome& outcome = work.outcome;
    const EarlierOutputs& earlier = work.earlier;
    const double reached = work.result.seconds_reached;
    if (work.stopped && !earlier.cut.empty() && earlier.cut_seconds >= reached) {
        // A longer cut is never replaced by a shorter one.
        outcome.output_path = earlier.cut;
        outcome.seconds_done = earlier.cut_seconds;
        return outcome; // the new, shorter temporary goes with `work`
    }
    std::string replaced = earlier.cut;
    if (replaced.empty() && !work.stopped) {
        replaced = earlier.outdated;
    }
    if (!replaced.empty() && !still_there(replaced, earlier)) {
        replaced.clear();
    }
    const std::optional<std::string> error =
        !replaced.empty() ? work.output.commit_replacing(replaced)
                          : work.output.commit(work.planned, work.extension, outcome.output_path);
    if (error) {
        return failed("cannot write the output file: " + *error);
    }
    if (!replaced.empty()) {
        outcome.output_path = replaced;
    }
    return outcome;
}

} // namespace morvane
