// SPDX-License-Identifier: GPL-3.0-or-later
// What the conversion worker tells the window (or the command line) that owns it. Every
// call comes from the worker thread, carries the values it reports (a host never reads the
// worker back) and must return without waiting for another thread: a window posts the news
// to its own thread.
#pragma once

#include "jobs/conversion_job.h"
#include "jobs/failed_file.h"

#include <string>
#include <vector>

namespace morvane {

struct ConversionStatus {
    bool converting = false;
    int index = 0;      // zero-based, of the current file in the batch
    int total = 0;      // files in the batch so far (grows when files join it)
    int percent = 0;    // of the current file, 0..100
    double seconds = 0; // the current file's duration, 0 until it is known
    std::string path;   // the current file
    bool film = false;  // the current file makes a film (known with its duration)
};

struct BatchSummary {
    int converted = 0, stopped = 0, incomplete = 0, not_started = 0, skipped = 0, failed = 0;
    // Converted files that went onto the player too, those it held already, and those that
    // did not go (each in not_sent_files, with why).
    int sent = 0, already_on_player = 0, not_sent = 0;
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

class ConversionHost {
public:
    virtual ~ConversionHost() = default;

    // A file of the batch starts: show the stop button, lock the settings.
    virtual void conversion_begin() = 0;
    // The status line, the current file or the batch size changed.
    virtual void status_changed(const ConversionStatus& status) = 0;
    // One file is done, whatever its outcome; files a stop left out come as not_started.
    virtual void file_finished(const std::string& path, const JobOutcome& outcome) = 0;
    // The batch is over: hide the stop button, unlock the settings, show what failed.
    virtual void conversion_end(const BatchSummary& summary) = 0;
};

} // namespace morvane
