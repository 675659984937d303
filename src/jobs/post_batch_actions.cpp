#include "jobs/post_batch_actions.h"

namespace morvane {

PostBatchActions::PostBatchActions(DesktopShell& shell,
                                   std::function<void(const AppSettings&)> save_settings)
    : shell_(shell), save_settings_(std::move(save_settings)) {}

void PostBatchActions::run(const AppSettings& settings, bool stopped) {
    if (settings.shutdown_after_batch != 0 && !stopped) {
        if (save_settings_) {
            save_settings_(settings);
        }
        shell_.power_off();
    } else if (settings.open_output_after_batch != 0) {
        shell_.open_folder(settings.output_folder);
    }
}

} // namespace morvane
