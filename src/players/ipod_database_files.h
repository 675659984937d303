// SPDX-License-Identifier: GPL-3.0-or-later
// The files libgpod rewrites when it writes an iPod's database: the track database (and a
// shuffle's iTunesSD), the artwork database and the picture files it appends to, the counts of
// plays it folds in, the model's SysInfo. Before the write they are checked for being writable
// and kept: the databases' last three generations beside them on the iPod, everything in
// memory, so that a failed write leaves the iPod as it was.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace morvane {

class IpodDatabaseFiles {
public:
    // `root`: the iPod's root, with its final '/'; `artwork`: whether this model's database
    // has artwork that libgpod writes.
    IpodDatabaseFiles(std::string root, bool artwork);

    // Which of the files libgpod writes cannot be written, and why; nothing when all can.
    std::optional<std::string> unwritable() const;
    // Keeps the files as they are now: the databases as <name>.morvane-backup (the one before
    // as .morvane-backup.1, the one before that as .morvane-backup.2). Nothing on success,
    // else why.
    std::optional<std::string> keep();
    // After a failed write: puts back what keep() found, removes what the write made. Nothing
    // when the iPod is as it was, else what is not.
    std::optional<std::string> restore() const;
    // After a write: flushes the files onto the iPod. Nothing on success, else why.
    std::optional<std::string> flush() const;

private:
    struct KeptFile {
        std::string name;                    // under the root
        bool database = false;               // backed up on the iPod too
        std::optional<std::string> contents; // as keep() found it; nothing when it was absent
        bool regular = true;                 // neither absent nor a file: never touched
    };

    std::vector<std::string> picture_files() const; // the artwork's .ithmb files, under the root

    std::string root_;
    bool artwork_;
    std::vector<KeptFile> kept_;
    std::map<std::string, std::uint64_t> picture_sizes_; // as keep() found them
    bool artwork_folder_existed_ = false;
};

} // namespace morvane
