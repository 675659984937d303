// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/free_space.h"

#include <cerrno>
#include <cstring>
#include <sys/statvfs.h>

namespace morvane {

std::variant<std::uint64_t, std::string> free_space(const std::string& path) {
    struct statvfs status {};
    if (::statvfs(path.c_str(), &status) != 0) {
        return std::string(std::strerror(errno));
    }
    return static_cast<std::uint64_t>(status.f_bavail) * status.f_frsize;
}

} // namespace morvane
