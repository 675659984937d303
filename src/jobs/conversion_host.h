// What the conversion worker tells the window (or the command line) that owns it. Every
// call comes from the worker thread and must return without waiting for another thread:
// a window posts the news to its own thread.
#pragma once

#include "jobs/conversion_job.h"
#include "jobs/failed_file.h"

#include <string>
#include <vector>

namespace morvane {

class ConversionHost {
public:
    virtual ~ConversionHost() = default;

    // A file of the batch starts: show the stop button, lock the settings.
    virtual void conversion_begin() = 0;
    // The batch is over: hide the stop button, unlock the settings.
    virtual void conversion_end() = 0;
    // The status text, the current file or the batch size changed.
    virtual void status_changed() = 0;
    // The batch could not convert these files (sent once, after conversion_end).
    virtual void show_failed_files(std::vector<FailedFile> failed_files) = 0;
    // One file is done, converted or not.
    virtual void file_finished(const std::string& /*path*/, const JobOutcome& /*outcome*/) {}
};

} // namespace morvane
