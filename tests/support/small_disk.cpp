// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/small_disk.h"

#include <cerrno>
#include <cstring>
#include <sys/mount.h>
#include <unistd.h>

namespace morvane::test {

SmallDisk::SmallDisk(const std::filesystem::path& folder, const std::string& size) : path_(folder) {
    std::filesystem::create_directories(path_);
    if (::geteuid() != 0) {
        unavailable_ = "a small disk is a tmpfs mount, which needs root (CI runs as root)";
    } else if (::mount("tmpfs", path_.c_str(), "tmpfs", 0, ("size=" + size).c_str()) != 0) {
        unavailable_ = std::string("cannot mount a tmpfs here: ") + std::strerror(errno);
    }
}

SmallDisk::~SmallDisk() {
    if (unavailable_.empty()) {
        ::umount2(path_.c_str(), MNT_DETACH);
    }
}

} // namespace morvane::test
