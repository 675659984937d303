// SPDX-License-Identifier: GPL-3.0-or-later
// What follows a batch: power the computer off, show the output folder, or show the files
// that failed, as the user chose and as the batch went. Deciding only; the desktop does it.
#pragma once

#include "jobs/conversion_host.h"
#include "settings/app_settings.h"

namespace morvane {

enum class PostBatchAction { none, power_off, open_folder, show_failed_files };

// Power-off only when the settings ask for it and every file of the batch converted; with
// failures, or files that did not reach the player, those files are shown instead (and the
// folder is not opened).
PostBatchAction choose_post_batch_action(const AppSettings& settings, const BatchSummary& summary);

} // namespace morvane
