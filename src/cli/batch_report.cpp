// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/batch_report.h"

#include "cli/printable_name.h"
#include "jobs/sound_track_choice.h"

#include <cmath>
#include <map>
#include <nlohmann/json.hpp>

namespace morvane {

namespace {

JobStatus status_of(const InputRecord& record) {
    return record.finished ? record.outcome.status : JobStatus::not_started;
}

// " (sent to P)", " (already on the player: P)", " (not sent to the player: why)" or "".
std::string sending_text(const InputRecord& record) {
    if (!record.sent) {
        return {};
    }
    if (record.sent->already_there) {
        return " (already on the player: " + printable_name(record.sent->landed_path) + ")";
    }
    if (record.sent->sent()) {
        return " (sent to " + printable_name(record.sent->landed_path) + ")";
    }
    return " (not sent to the player: " + printable_name(record.sent->reason) + ")";
}

// " (one picture's stamp was 1 h off and was ignored)", or nothing when nothing was mended.
std::string mended_text(const JobOutcome& outcome) {
    std::string text;
    for (const std::string& mend : outcome.mended) {
        text += (text.empty() ? " (" : "; ") + mend;
    }
    return text.empty() ? text : text + ")";
}

// " (cropped 1920×800 from 1920×1080)" after a film's output, or nothing when its whole
// picture is shown.
std::string crop_text(const JobOutcome& outcome) {
    return outcome.crop.empty() ? std::string() : " (" + outcome.crop + ")";
}

// " (French sound (Director's commentary))" where the input held several sound tracks, so
// that the one taken is no surprise; nothing otherwise.
std::string sound_track_text(const JobOutcome& outcome) {
    if (!outcome.sound_track || outcome.sound_tracks < 2) {
        return {};
    }
    return " (" +
           printable_name(
               sound_track_words(outcome.sound_track->language, outcome.sound_track->title)) +
           ")";
}

// " (French subtitles burned in: the sound is English)" after a film that shows subtitles or
// whose subtitles were left out; nothing otherwise.
std::string subtitles_text(const JobOutcome& outcome) {
    return outcome.subtitles.empty() ? std::string()
                                     : " (" + printable_name(outcome.subtitles) + ")";
}

// The output of the input a duplicate repeats ("same file as <input>"), when it has one.
std::string repeated_output(const InputRecord& duplicate,
                            const std::map<std::string, const InputRecord*>& first_of) {
    const std::string same_as = "same file as ";
    if (duplicate.outcome.reason.rfind(same_as, 0) != 0) {
        return {};
    }
    const auto first = first_of.find(duplicate.outcome.reason.substr(same_as.size()));
    return first != first_of.end() ? first->second->outcome.output_path : std::string();
}

} // namespace

std::string status_name(const InputRecord& record) {
    switch (status_of(record)) {
    case JobStatus::converted:
        return "converted";
    case JobStatus::copied:
        return "copied";
    case JobStatus::stopped:
        return "stopped";
    case JobStatus::incomplete:
        return "incomplete";
    case JobStatus::not_started:
        return "not_started";
    case JobStatus::skipped:
        return "skipped";
    case JobStatus::failed:
        break;
    }
    return "failed";
}

std::string result_line(const InputRecord& record) {
    const std::string input = printable_name(record.input);
    const JobOutcome& outcome = record.outcome;
    switch (status_of(record)) {
    case JobStatus::converted:
        return input + " -> " + printable_name(outcome.output_path) + crop_text(outcome) +
               sound_track_text(outcome) + subtitles_text(outcome) + mended_text(outcome) +
               sending_text(record);
    case JobStatus::copied:
        return input + " -> " + printable_name(outcome.output_path) + " (" +
               printable_name(outcome.reason) + ")" + sending_text(record);
    case JobStatus::stopped:
        return input + " -> " + printable_name(outcome.output_path) + crop_text(outcome) +
               sound_track_text(outcome) + subtitles_text(outcome) + " (" + stopped_text(outcome) +
               ")" + mended_text(outcome);
    case JobStatus::incomplete:
        return input + " -> " + printable_name(outcome.output_path) + crop_text(outcome) +
               sound_track_text(outcome) + subtitles_text(outcome) + " (" +
               printable_name(outcome.reason) + ")" + mended_text(outcome);
    case JobStatus::not_started:
        return input + ": not started";
    case JobStatus::skipped:
        return input + ": skipped (" + printable_name(outcome.reason) + ")" + sending_text(record);
    case JobStatus::failed:
        break;
    }
    return input + ": " + printable_name(outcome.reason);
}

std::string summary_line(const BatchSummary& counts) {
    std::string line;
    const auto add = [&](int count, const char* what) {
        if (count != 0 || (what == std::string("converted"))) {
            line += (line.empty() ? "" : ", ") + std::to_string(count) + " " + what;
        }
    };
    add(counts.converted, "converted");
    add(counts.copied, "copied");
    add(counts.stopped, "stopped");
    add(counts.incomplete, "incomplete");
    add(counts.not_started, "not started");
    add(counts.skipped, "skipped");
    add(counts.failed, "failed");
    if (counts.sent + counts.already_on_player + counts.not_sent != 0) {
        line += "; " + std::to_string(counts.sent) + " sent to the player";
        if (counts.already_on_player != 0) {
            line += ", " + std::to_string(counts.already_on_player) + " already on it";
        }
        if (counts.not_sent != 0) {
            line += ", " + std::to_string(counts.not_sent) + " not sent";
        }
    }
    if (counts.passed_over != 0) {
        line += "; " + std::to_string(counts.passed_over) +
                (counts.passed_over == 1 ? " file" : " files") + " passed over (not media)";
    }
    if (counts.unreadable_folders != 0) {
        line += "; " + std::to_string(counts.unreadable_folders) +
                (counts.unreadable_folders == 1 ? " folder" : " folders") + " could not be read";
    }
    return line;
}

std::string json_document(const std::vector<InputRecord>& records, const BatchSummary& counts,
                          const std::vector<std::string>& passed_over,
                          const std::vector<UnreadableFolder>& unreadable_folders) {
    using nlohmann::json;
    const auto seconds = [](double value) -> json {
        return value > 0 ? json(std::round(value * 1000) / 1000) : json(nullptr);
    };
    // Each input as first met: a duplicate names it, and shares its output.
    std::map<std::string, const InputRecord*> first_of;
    for (const InputRecord& record : records) {
        first_of.emplace(record.input, &record);
    }
    json files = json::array();
    for (const InputRecord& record : records) {
        const JobOutcome& outcome = record.outcome;
        json file = {{"input", record.input}, {"status", status_name(record)}};
        switch (status_of(record)) {
        case JobStatus::incomplete:
            file["reason"] = outcome.reason;
            file["reached"] = seconds(outcome.seconds_done);
            file["output"] = outcome.output_path;
            break;
        case JobStatus::stopped:
            file["stopped_at"] = seconds(outcome.seconds_done);
            [[fallthrough]];
        case JobStatus::converted:
        case JobStatus::copied:
            if (!outcome.output_path.empty()) {
                file["output"] = outcome.output_path;
            }
            break;
        case JobStatus::skipped:
            if (!outcome.output_path.empty()) {
                file["output"] = outcome.output_path;
            } else if (const std::string output = repeated_output(record, first_of);
                       !output.empty()) {
                file["output"] = output;
            }
            [[fallthrough]];
        case JobStatus::failed:
            file["reason"] = outcome.reason;
            break;
        case JobStatus::not_started:
            break;
        }
        if (!outcome.video_codec.empty()) {
            file["video_codec"] = outcome.video_codec;
        }
        if (!outcome.crop.empty() && !outcome.output_path.empty()) {
            file["crop"] = outcome.crop;
        }
        if (outcome.sound_track) {
            json track = {{"language", outcome.sound_track->language.empty()
                                           ? std::string("und")
                                           : outcome.sound_track->language}};
            if (!outcome.sound_track->title.empty()) {
                track["title"] = outcome.sound_track->title;
            }
            file["sound_track"] = std::move(track);
        }
        if (!outcome.subtitles.empty()) {
            file["subtitles"] = outcome.subtitles;
        }
        if (!outcome.mended.empty()) {
            file["mended"] = outcome.mended;
        }
        if (record.sent && record.sent->sent()) {
            file["sent_to"] = record.sent->landed_path;
            if (record.sent->already_there) {
                file["already_on_player"] = true;
            }
        } else if (record.sent) {
            file["send_error"] = record.sent->reason;
        }
        file["duration"] = seconds(outcome.seconds_total);
        file["elapsed"] = std::round(record.elapsed * 1000) / 1000;
        files.push_back(std::move(file));
    }
    const json summary = {{"converted", counts.converted},
                          {"copied", counts.copied},
                          {"stopped", counts.stopped},
                          {"incomplete", counts.incomplete},
                          {"not_started", counts.not_started},
                          {"skipped", counts.skipped},
                          {"failed", counts.failed},
                          {"passed_over", counts.passed_over},
                          {"unreadable_folders", counts.unreadable_folders},
                          {"sent", counts.sent},
                          {"already_on_player", counts.already_on_player},
                          {"not_sent", counts.not_sent}};
    json unreadable = json::array();
    for (const UnreadableFolder& folder : unreadable_folders) {
        unreadable.push_back({{"folder", folder.path}, {"reason", folder.reason}});
    }
    const json document = {{"files", std::move(files)},
                           {"passed_over", passed_over},
                           {"unreadable_folders", std::move(unreadable)},
                           {"summary", summary}};
    // Names are bytes; one that is not UTF-8 cannot be a JSON string as it is.
    return document.dump(1, ' ', false, json::error_handler_t::replace) + "\n";
}

} // namespace morvane
