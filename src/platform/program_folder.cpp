// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/program_folder.h"

#include <cerrno>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace morvane {
namespace {

// readlink does not say how long the target is, so the buffer grows until it fits.
std::string read_link(const char* link) {
    std::string target(256, '\0');
    for (;;) {
        const ssize_t length = ::readlink(link, target.data(), target.size());
        if (length < 0) {
            return {};
        }
        if (static_cast<size_t>(length) < target.size()) {
            target.resize(static_cast<size_t>(length));
            return target;
        }
        target.resize(target.size() * 2);
    }
}

std::string current_folder() {
    std::string folder(256, '\0');
    while (::getcwd(folder.data(), folder.size()) == nullptr) {
        if (errno != ERANGE) {
            return "./";
        }
        folder.resize(folder.size() * 2);
    }
    folder.resize(folder.find('\0'));
    return folder.ends_with('/') ? folder : folder + "/";
}

} // namespace

std::string program_folder() {
    // The kernel gives the executable's real path, every link already resolved.
    const std::string executable = read_link("/proc/self/exe");
    const size_t slash = executable.rfind('/');
    if (executable.empty() || executable.front() != '/' || slash == std::string::npos) {
        return current_folder();
    }
    return executable.substr(0, slash + 1);
}

std::string data_folder(const std::string& program, const std::string& installed_relative) {
    // Executables belong in lib/, architecture-independent data in share/; the build tree
    // keeps both in one folder so that it runs without installing.
    std::error_code error;
    if (std::filesystem::is_directory(program + "Skins", error)) {
        return program;
    }
    const std::string folder =
        (std::filesystem::path(program) / installed_relative).lexically_normal().string();
    return folder.ends_with('/') ? folder : folder + "/";
}

std::string data_folder() {
    return data_folder(program_folder(), MORVANE_INSTALLED_DATA_FOLDER);
}

} // namespace morvane
