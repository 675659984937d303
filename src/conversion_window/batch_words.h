// SPDX-License-Identifier: GPL-3.0-or-later
// What the window writes and says of a batch: the summary under the picture, its link to the
// files that did not make it, where a running batch stands, how a stop ended and the one
// sentence that tells a screen reader the batch is over. Every text is made with one arg()
// of all its parts, so that a "%1" in a file's name stays as it is.
#pragma once

#include "jobs/conversion_host.h"
#include "jobs/conversion_job.h"

#include <QString>
#include <optional>
#include <string>

namespace morvane {

// The file's name without its folder, as the desktop shows names.
QString file_name_of(const std::string& path);

// "2 converted, 1 failed, 1 sent to the player"; empty when nothing ended at all.
QString summary_text(const BatchSummary& summary);

// "Show the files not converted", "… not sent to the player", or both; empty without any.
QString failed_files_link_text(const BatchSummary& summary);

// "12 of 100, 3 minutes left" (without the time left while it is not known).
QString progress_words(int index, int total, std::optional<double> seconds_left);

// "less than a minute", "3 minutes", "1 hour 5 minutes" (rounded up to whole minutes).
QString duration_words(double seconds);

// How a stop left the file it cut: "Stopped at 95%: long.mkv is kept, shorter".
QString stop_words(const std::string& path, const JobOutcome& stopped);

// The end of a batch in one sentence: how a stop ended (when `stopped` names the file it
// cut, or the batch was stopped), the counts, and what failed or did not reach the player,
// each with why, when three at most did ("Batch finished: 2 converted; broken.mkv not
// converted: no picture could be decoded").
struct StoppedFile {
    std::string path;
    JobOutcome outcome;
};
QString batch_end_words(const BatchSummary& summary, const std::optional<StoppedFile>& stopped);

} // namespace morvane
