// SPDX-License-Identifier: GPL-3.0-or-later
// The work done for one file of a batch: check that it can be converted, describe the output
// the device wants (a ConversionPlan), name it, convert. Every file ends converted, stopped (a
// complete, shorter file), incomplete (a damaged or cut input: what it held, kept, but not
// counted as converted), skipped, or failed with a reason; nothing is lost silently, and
// nothing partial ever appears under a visible name.
#pragma once

#include "engine/engine.h"
#include "engine/media_input.h"
#include "jobs/conversion_choices.h"
#include "jobs/device_profile.h"
#include "jobs/input_collector.h"

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace morvane {

class ProgressSink;

// copied: a file of sound alone the player plays as it is, written without encoding it again
// (its sound copied, its tags and mark as a conversion's), complete as a converted file.
enum class JobStatus { converted, copied, stopped, incomplete, not_started, skipped, failed };

struct JobOutcome {
    JobStatus status = JobStatus::failed;
    // converted, copied, stopped, incomplete: the complete file written (or kept); skipped:
    // the output already there, if any
    std::string output_path;
    // failed: why, in words a person can act on; skipped, incomplete: why
    // ("incomplete: the input ends at 0:04 of 0:20"); copied: why ("copied: already plays on
    // the iPod nano")
    std::string reason;
    // What was mended in the input's times on the way, in words ("one picture's stamp was
    // 1 h off and was ignored", "2 recordings joined end to end were read one after the
    // other"); the output is whole all the same.
    std::vector<std::string> mended;
    double seconds_done = 0;  // stopped, incomplete: how far it got (seconds of the input)
    double seconds_total = 0; // the input's duration, 0 if unknown
    // Whether the output is a film (moving pictures), as the plan made for the device has it;
    // an output found (skipped) was made for the same target, so it is of the same kind.
    // Players file it with their videos or their sound by this.
    bool film = false;
    // A film written or found (converted, stopped, incomplete, skipped): FFmpeg's name of its
    // picture codec.
    std::string video_codec;
    // A film whose picture was cropped (black bars, or sides cut to fill the screen): what was
    // kept of what, "cropped 1920×800 from 1920×1080"; empty when the whole picture is shown.
    std::string crop;
    // The input's sound track the output carries (none: silence, or nothing converted yet):
    // its language (a normalised ISO 639-2 code, empty when the file does not say) and title;
    // and how many sound tracks the input holds, since only a choice among several is worth
    // telling.
    struct SoundTrack {
        std::string language;
        std::string title;
    };
    std::optional<SoundTrack> sound_track;
    int sound_tracks = 0;
    // A film's subtitles, which track was burned in or kept and why, or why it was left out
    // ("French subtitles burned in: the sound is English", "English subtitles kept as a
    // track", "the German subtitles were left out: they could not be read"); empty when the
    // film shows none.
    std::string subtitles;
    // Of an output there is: which source made it and for what (see output_mark.h), for a
    // player to tell whether it holds it already; the name it takes on a player (the input's
    // name with the output's extension) and, with the folders' layout kept, its folder there.
    std::string source;
    std::string target;
    std::string player_name;
    std::string player_folder;
    bool converted() const { return status == JobStatus::converted; }
    // An output a player may take: converted or copied now, or made before and skipped.
    bool has_complete_output() const {
        return !output_path.empty() &&
               (status == JobStatus::converted || status == JobStatus::copied ||
                status == JobStatus::skipped);
    }
};

// "stopped at 0:25 of 5:00" (no " of …" when the total is unknown)
std::string stopped_text(const JobOutcome& outcome);

class ConversionJob {
public:
    explicit ConversionJob(const Engine& engine) : engine_(engine) {}

    // An input whose complete output for the same device is in the folder already (an output
    // whose mark names this very source, see output_mark.h) is skipped with "already
    // converted" instead of converted again; one whose earlier output was incomplete stays
    // incomplete, with the reason it had. Whether or not skipping, an output of the input
    // that a stop cut short is replaced by a longer one, and the output of a source that
    // changed since (the same file, found at the same place) by the new one.
    void set_skip_existing(bool skip_existing) { skip_existing_ = skip_existing; }
    // Outputs go into the folders the inputs lie in under the folder they were found in
    // (Artist/Album/), made when missing; else all into the output folder itself.
    void set_keep_folders(bool keep_folders) { keep_folders_ = keep_folders; }
    // What the owner chose about the outputs (codec, quality, languages, ...).
    void set_choices(ConversionChoices choices) { choices_ = std::move(choices); }
    // Why no film can go where the files are sent (a player that plays no video): an input
    // that would become a film is refused with it before anything converts. Empty: films
    // are made.
    void set_films_refusal(std::string reason) { films_refusal_ = std::move(reason); }

    // Told right before the engine converts (the file was accepted): the input's duration in
    // seconds (0 when unknown), and whether the output is a film.
    using ConversionStart = std::function<void(double seconds, bool film)>;

    // `on_conversion_start` runs right before the engine converts. `sink` answers false to
    // stop: the file then ends stopped, complete and shorter (a stop before the first packet
    // was written keeps no file: output_path stays empty).
    JobOutcome convert_one(const CollectedInput& input, const DeviceProfile& device,
                           const std::string& output_folder, ProgressSink* sink,
                           const ConversionStart& on_conversion_start = {});
    // A file named by itself.
    JobOutcome convert_one(const std::string& path, const DeviceProfile& device,
                           const std::string& output_folder, ProgressSink* sink,
                           const ConversionStart& on_conversion_start = {});

private:
    // What the steps of one file hand on to each other (conversion_job.cpp).
    struct FileWork;

    // Every step of one file, in a FileWork of its own. A copy of its sound that found it
    // damaged sets `copy_damaged` (the file is then converted, without a copy, by the caller).
    JobOutcome run_steps(const CollectedInput& input, const DeviceProfile& device,
                         const std::string& output_folder, ProgressSink* sink,
                         const ConversionStart& on_conversion_start, bool copy_played_sound,
                         bool& copy_damaged);
    // The steps of convert_one, in order. A step that ends the file says why (or gives the
    // outcome it ends with); the steps after it do not run.
    std::optional<std::string> open_input(FileWork& work, bool copy_played_sound) const;
    std::optional<std::string> name_output(FileWork& work, const std::string& output_folder) const;
    std::optional<JobOutcome> rerun_outcome(const FileWork& work) const;
    void read_tags(FileWork& work) const;
    std::optional<std::string> convert(FileWork& work, ProgressSink* sink,
                                       const ConversionStart& on_conversion_start) const;
    std::optional<JobOutcome> judge(FileWork& work) const;
    void write_tags(FileWork& work) const;
    JobOutcome commit(FileWork& work) const;
    // Of the judgement: the length the input states, where it can be believed.
    double stated_length(FileWork& work) const;

    const Engine& engine_;
    std::string films_refusal_;
    bool skip_existing_ = false;
    bool keep_folders_ = false;
    ConversionChoices choices_;
};

} // namespace morvane
