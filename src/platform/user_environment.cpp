// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/user_environment.h"

#include <cstdlib>
#include <filesystem>
#include <pwd.h>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace morvane {
namespace {

std::string environment_variable(const char* name) {
    const char* value = std::getenv(name);
    return value == nullptr ? std::string() : std::string(value);
}

bool is_absolute(const std::string& path) {
    return !path.empty() && path.front() == '/';
}

std::string with_final_slash(std::string folder) {
    while (folder.size() > 1 && folder.ends_with('/')) {
        folder.pop_back();
    }
    return folder == "/" ? folder : folder + "/";
}

// HOME may be unset (services, some sudo set-ups); the account database still knows.
std::string account_home() {
    long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? static_cast<size_t>(size) : 16384);
    passwd entry{};
    passwd* found = nullptr;
    while (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == ERANGE) {
        buffer.resize(buffer.size() * 2);
    }
    return found != nullptr && found->pw_dir != nullptr ? std::string(found->pw_dir)
                                                        : std::string();
}

} // namespace

UserEnvironment UserEnvironment::of_this_process() {
    UserEnvironment environment;
    environment.xdg_data_home = environment_variable("XDG_DATA_HOME");
    environment.xdg_config_home = environment_variable("XDG_CONFIG_HOME");
    environment.home = environment_variable("HOME");
    if (!is_absolute(environment.home)) {
        environment.home = account_home();
    }
    std::error_code ignored;
    environment.temp_folder = std::filesystem::temp_directory_path(ignored).string();
    return environment;
}

std::string UserEnvironment::data_home() const {
    // A relative XDG path is invalid and ignored, as the base-directory rules say.
    if (is_absolute(xdg_data_home)) {
        return with_final_slash(xdg_data_home);
    }
    if (is_absolute(home)) {
        return with_final_slash(home) + ".local/share/";
    }
    return with_final_slash(is_absolute(temp_folder) ? temp_folder : std::string("/tmp"));
}

std::string UserEnvironment::config_home() const {
    if (is_absolute(xdg_config_home)) {
        return with_final_slash(xdg_config_home);
    }
    if (is_absolute(home)) {
        return with_final_slash(home) + ".config/";
    }
    return with_final_slash(is_absolute(temp_folder) ? temp_folder : std::string("/tmp"));
}

std::string UserEnvironment::default_output_folder() const {
    return data_home() + "Morvane/";
}

} // namespace morvane
