// SPDX-License-Identifier: GPL-3.0-or-later
// Copying converted files onto a PSP's memory stick: films into VIDEO/, sound into MUSIC/
// (under the input's folders when their layout is kept), the way the output folder gets its
// files: under a FAT-safe name that never replaces a file already there, written as a hidden
// temporary, flushed to the stick, then renamed. A file the stick holds already (the same
// source made for the same device) is not copied again. A stick that is full, read-only or
// pulled out fails the file with the reason and keeps nothing of it; nothing is ever written
// onto the bare mount point a pulled-out stick leaves.
#pragma once

#include "players/player_presence.h"
#include "players/send_outcome.h"

#include <mutex>
#include <optional>
#include <string>

namespace morvane {

class PspSender {
public:
    // `root`: the stick's root (the folder that holds PSP/), as it is mounted now.
    explicit PspSender(std::string root);
    PspSender(const PspSender&) = delete;
    PspSender& operator=(const PspSender&) = delete;

    // Why no file can go onto the stick (read-only, full, gone); empty when files can go.
    std::string refusal() const { return refusal_; }

    // Copies the file (it stays where it is) onto the stick as its name made FAT-safe, or
    // the naming rule's next free name, unless the stick holds it already. Safe from several
    // threads: files go onto the stick one at a time, so each free-space check holds until
    // its copy ends.
    SendOutcome send(const FileToSend& file);

private:
    SendOutcome send_one(const FileToSend& file);
    std::string stick_refusal() const;
    // The file's folder on the stick, created where missing; nothing on success, else why.
    std::optional<std::string> make_folder(const std::string& relative) const;
    // Of the names the naming rule gives `name` in `folder` (name.ext, name_0.ext, ...), the
    // one whose file is a copy of `file`; empty when none is.
    std::string held_copy(const std::string& folder, const std::string& name,
                          const FileToSend& file) const;
    // Not sent for `reason`, or because the stick went, if it did.
    SendOutcome failed(const std::string& reason) const;

    const std::string root_;
    const PlayerPresence presence_;
    const std::string refusal_;
    std::mutex sending_;
};

} // namespace morvane
