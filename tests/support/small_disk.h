// SPDX-License-Identifier: GPL-3.0-or-later
// A small tmpfs mounted on a folder, unmounted when the object goes away: a disk that fills
// up. Only root may mount one; a test skips with unavailable() when none could be mounted.
#pragma once

#include <filesystem>
#include <string>

namespace morvane::test {

class SmallDisk {
public:
    // Creates `folder` and mounts a tmpfs of `size` ("256k", "2m") on it.
    SmallDisk(const std::filesystem::path& folder, const std::string& size);
    ~SmallDisk();
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;

    const std::filesystem::path& path() const { return path_; }
    // Why no disk could be mounted; empty when it is.
    const std::string& unavailable() const { return unavailable_; }

private:
    std::filesystem::path path_;
    std::string unavailable_;
};

} // namespace morvane::test
