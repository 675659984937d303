#include "settings/settings_location.h"

#include "platform/module_directory.h"
#include "platform/user_environment.h"

namespace morvane {

SettingsLocation SettingsLocation::of_this_process() {
    const UserEnvironment environment = UserEnvironment::of_this_process();
    return {morvane::module_directory(), environment.default_output_folder(),
            environment.config_home() + "morvane/"};
}

} // namespace morvane
