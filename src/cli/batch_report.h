// SPDX-License-Identifier: GPL-3.0-or-later
// What morvane-convert reports about each input of a batch: the result line printed when
// the input ends, the JSON document of --json and the closing count.
#pragma once

#include "jobs/batch_summary.h"
#include "jobs/conversion_job.h"
#include "jobs/input_collector.h"
#include "jobs/player_sender.h"

#include <optional>
#include <string>
#include <vector>

namespace morvane {

struct InputRecord {
    std::string input;     // as the user named it
    bool finished = false; // false: never given to a converter (not started)
    JobOutcome outcome;    // once finished
    double elapsed = 0;    // seconds spent on it
    // With a player to send to, for a file with a complete output: where its copy landed (or
    // lay already) or why not.
    std::optional<SendOutcome> sent;
    bool printed = false; // its result line is out
};

// The record's status: converted, stopped, incomplete, not_started, skipped, failed.
std::string status_name(const InputRecord& record);

// "in -> out", "in -> out (French sound)" (one of an input's sound tracks),
// "in -> out (sent to P)", "in -> out (already on the player: P)",
// "in -> out (not sent to the player: why)",
// "in -> out (stopped at 0:25 of 5:00)",
// "in -> out (incomplete: the input ends at 0:04 of 0:20)", "in: not started",
// "in: skipped (already converted: out)", "in: reason"; names escaped for a terminal.
std::string result_line(const InputRecord& record);

// "12 converted, 1 stopped, 2 failed; 11 sent to the player, 3 already on it, 1 not sent;
// 4 files passed over (not media); 1 folder could not be read"; zeros left out.
std::string summary_line(const BatchSummary& counts);

// {"files": [{"input", "status", "output", "reason", "video_codec" (films),
//   "sound_track" ({"language", "title"}: the input's sound track converted), "sent_to" (+
//   "already_on_player") | "send_error", "duration", ...}],
//  "passed_over": [...], "unreadable_folders": [{"folder", "reason"}], "summary": {...}}
std::string json_document(const std::vector<InputRecord>& records, const BatchSummary& counts,
                          const std::vector<std::string>& passed_over,
                          const std::vector<UnreadableFolder>& unreadable_folders);

} // namespace morvane
