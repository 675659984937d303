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
        for (const std::filesystem::path& folder : shown_at_) {
            pull_out(folder);
        }
        pull_out(path_);
    }
}

std::optional<std::string> SmallDisk::show_at(const std::filesystem::path& folder) {
    std::filesystem::create_directories(folder);
    if (::mount(path_.c_str(), folder.c_str(), nullptr, MS_BIND, nullptr) != 0) {
        return std::string("cannot show the disk at ") + folder.string() + ": " +
               std::strerror(errno);
    }
    shown_at_.push_back(folder);
    return std::nullopt;
}

std::optional<std::string> SmallDisk::make_read_only() const {
    if (::mount(nullptr, path_.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) != 0) {
        return std::string("cannot make the disk read-only: ") + std::strerror(errno);
    }
    return std::nullopt;
}

void SmallDisk::pull_out(const std::filesystem::path& folder) {
    ::umount2(folder.c_str(), MNT_DETACH);
}

} // namespace morvane::test
