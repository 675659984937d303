// SPDX-License-Identifier: GPL-3.0-or-later
// Copying converted files onto a PSP's memory stick: films into VIDEO/, sound into MUSIC/,
// the way the output folder gets its files: under a FAT-safe name that never replaces a file
// already there, written as a hidden temporary, flushed to the stick, then renamed. A stick
// that is full, read-only or pulled out fails the file with the reason and keeps nothing of it.
#pragma once

#include "players/send_outcome.h"

#include <mutex>
#include <string>

namespace morvane {

class PspSender {
public:
    // `root`: the stick's root (the folder that holds PSP/).
    explicit PspSender(std::string root);
    PspSender(const PspSender&) = delete;
    PspSender& operator=(const PspSender&) = delete;

    // Copies the file (it stays where it is) onto the stick as its name made FAT-safe, or
    // the naming rule's next free name. Safe from several threads: files go onto the stick one
    // at a time, so each free-space check holds until its copy ends.
    SendOutcome send(const FileToSend& file);

private:
    SendOutcome send_one(const FileToSend& file);

    const std::string root_;
    std::mutex sending_;
};

} // namespace morvane
