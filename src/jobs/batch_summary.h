// SPDX-License-Identifier: GPL-3.0-or-later
// How a batch ended, as both front ends tell it: how many files ended in each state, what
// went onto the player, and what failed and why.
#pragma once

#include "jobs/conversion_job.h"
#include "jobs/failed_file.h"

#include <string>
#include <vector>

namespace morvane {

struct BatchSummary {
    // Copied: files of sound alone the player plays as they are, counted apart from those
    // converted.
    int converted = 0, copied = 0, stopped = 0, incomplete = 0, not_started = 0, skipped = 0,
        failed = 0;
    // Converted files that went onto the player too, those it held already, and those that
    // did not go (each in not_sent_files, with why).
    int sent = 0, already_on_player = 0, not_sent = 0;
    // Files of walked folders that are not media, and folders the walk could not look into.
    int passed_over = 0, unreadable_folders = 0;
    // Why the connected player took no file at all (found before the first file converted).
    std::string player_refusal;
    bool stop_requested = false;       // the batch ended by a stop
    bool no_media_found = false;       // the folders given held no audio or video file
    std::string output_folder_problem; // why the batch could convert nothing at all
    // The failed and the incomplete ones, with reasons.
    std::vector<FailedFile> failed_files;
    // Converted, but not sent to the player, with why.
    std::vector<FailedFile> not_sent_files;
    bool all_converted() const { return stopped + incomplete + not_started + failed == 0; }

    // One more file that ended so (its reason, if it failed, is the caller's to keep).
    void count(JobStatus status) {
        switch (status) {
        case JobStatus::converted:
            ++converted;
            break;
        case JobStatus::copied:
            ++copied;
            break;
        case JobStatus::stopped:
            ++stopped;
            break;
        case JobStatus::incomplete:
            ++incomplete;
            break;
        case JobStatus::not_started:
            ++not_started;
            break;
        case JobStatus::skipped:
            ++skipped;
            break;
        case JobStatus::failed:
            ++failed;
            break;
        }
    }
};

} // namespace morvane
