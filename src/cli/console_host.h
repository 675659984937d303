// How morvane-convert shows a batch: on a terminal one line that keeps updating (file k of
// n, its name, percentage, time spent and time left); otherwise one plain line per file.
#pragma once

#include "jobs/conversion_host.h"

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

namespace morvane {

class ConsoleHost : public ConversionHost {
public:
    ConsoleHost(std::FILE* out, bool interactive);

    void conversion_begin() override;
    void conversion_end(const BatchSummary& summary) override;
    void status_changed(const ConversionStatus& status) override;
    void file_finished(const std::string& path, const JobOutcome& outcome) override;

    // Blocks until the batch is over.
    void wait_for_batch_end();

    struct Result {
        std::string path;
        JobOutcome outcome;
    };
    std::vector<Result> results() const;

private:
    void draw_progress_line(const ConversionStatus& status);

    std::FILE* out_;
    bool interactive_;

    mutable std::mutex mutex_;
    std::condition_variable batch_over_;
    bool ended_ = false;
    std::vector<Result> results_;
    std::chrono::steady_clock::time_point file_started_;
    int last_drawn_percent_ = -1;
};

} // namespace morvane
