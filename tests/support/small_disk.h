// SPDX-License-Identifier: GPL-3.0-or-later
// A small tmpfs mounted on a folder, unmounted when the object goes away: a disk that fills
// up, or one pulled out. Only root may mount one; a test skips with unavailable() when none could
// be mounted.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace morvane::test {

class SmallDisk {
public:
    // Creates `folder` and mounts a tmpfs of `size` ("256k", "2m") on it.
    SmallDisk(const std::filesystem::path& folder, const std::string& size);
    ~SmallDisk();
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;

    const std::filesystem::path& path() const { return path_; }

    // Shows the disk at `folder` too (a bind mount, unmounted with the disk), as a player
    // shows where its user mounts it. Nothing on success, else why.
    std::optional<std::string> show_at(const std::filesystem::path& folder);
    // The disk becomes read-only, where it is mounted and where it is shown.
    std::optional<std::string> make_read_only() const;
    // Unmounts whatever is mounted at `folder` at once, as a player pulled out: files still
    // open there stay usable, but the folder is bare again.
    static void pull_out(const std::filesystem::path& folder);
    // Why no disk could be mounted; empty when it is.
    const std::string& unavailable() const { return unavailable_; }

private:
    std::filesystem::path path_;
    std::vector<std::filesystem::path> shown_at_;
    std::string unavailable_;
};

} // namespace morvane::test
