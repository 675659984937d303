// SPDX-License-Identifier: GPL-3.0-or-later
// A uniquely named folder under the system's temporary directory, removed with its
// contents when the object goes away. Tests write every file they make into one.
#pragma once

#include <filesystem>
#include <set>
#include <string>

namespace morvane::test {

class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }
    // The path of a file inside the folder (not created).
    std::filesystem::path file(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

// The whole contents of a file, empty when it cannot be read.
std::string read_file(const std::filesystem::path& path);

// The names in a folder; none when it is missing.
std::set<std::string> names_in(const std::filesystem::path& folder);

} // namespace morvane::test
