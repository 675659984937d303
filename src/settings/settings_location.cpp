// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/settings_location.h"

#include "platform/program_folder.h"
#include "platform/user_environment.h"

namespace morvane {

SettingsLocation SettingsLocation::of_this_process() {
    const UserEnvironment environment = UserEnvironment::of_this_process();
    return {morvane::data_folder(), environment.default_output_folder(),
            environment.config_home() + "morvane/"};
}

} // namespace morvane
