// SPDX-License-Identifier: GPL-3.0-or-later
#include "jobs/post_batch_action.h"

namespace morvane {

PostBatchAction choose_post_batch_action(const AppSettings& settings, const BatchSummary& summary) {
    if (!summary.failed_files.empty() || !summary.not_sent_files.empty() || summary.failed > 0) {
        return PostBatchAction::show_failed_files;
    }
    if (settings.shutdown_after_batch != 0 && summary.all_converted()) {
        return PostBatchAction::power_off;
    }
    if (settings.open_output_after_batch != 0) {
        return PostBatchAction::open_folder;
    }
    return PostBatchAction::none;
}

} // namespace morvane
