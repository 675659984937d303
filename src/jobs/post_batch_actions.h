// What happens when a batch ends: power the computer off, or show the output folder, as
// the user chose.
#pragma once

#include "platform/desktop_shell.h"
#include "settings/app_settings.h"

#include <functional>

namespace morvane {

class PostBatchActions {
public:
    // `save_settings` runs before a power-off, so the choices of this session survive it;
    // it gets the settings the batch ran with.
    PostBatchActions(DesktopShell& shell, std::function<void(const AppSettings&)> save_settings);

    // A stopped batch never powers the computer off, but may still show the folder.
    void run(const AppSettings& settings, bool stopped);

private:
    DesktopShell& shell_;
    std::function<void(const AppSettings&)> save_settings_;
};

} // namespace morvane
