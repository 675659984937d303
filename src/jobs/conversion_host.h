// SPDX-License-Identifier: GPL-3.0-or-later
// What the conversion worker tells the window (or the command line) that owns it. Every
// call comes from the worker thread, carries the values it reports (a host never reads the
// worker back) and must return without waiting for another thread: a window posts the news
// to its own thread.
#pragma once

#include "jobs/batch_run.h"
#include "jobs/batch_summary.h"

#include <optional>
#include <string>

namespace morvane {

struct ConversionStatus {
    bool converting = false;
    int index = 0;      // zero-based, of the current file in the batch
    int total = 0;      // files in the batch so far (grows when files join it)
    int percent = 0;    // of the current file, 0..100
    double seconds = 0; // the current file's duration, 0 until it is known
    std::string path;   // the current file
    bool film = false;  // the current file makes a film (known with its duration)
    // Of the whole batch, each file weighed by its length and kind; nothing while it is too
    // early to tell.
    std::optional<double> seconds_left;
};

class ConversionHost {
public:
    virtual ~ConversionHost() = default;

    // A file of the batch starts: show the stop button, lock the settings.
    virtual void conversion_begin() = 0;
    // The status line, the current file or the batch size changed.
    virtual void status_changed(const ConversionStatus& status) = 0;
    // One file is done, whatever its outcome; files a stop left out come as not_started.
    virtual void file_finished(const BatchFile& file) = 0;
    // The batch is over: hide the stop button, unlock the settings, show what failed.
    virtual void conversion_end(const BatchSummary& summary) = 0;
};

} // namespace morvane
