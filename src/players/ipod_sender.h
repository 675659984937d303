// SPDX-License-Identifier: GPL-3.0-or-later
// Sending converted files to an iPod that runs its own firmware: each file is copied into
// iPod_Control/Music/ and becomes a track of the iPod's own database (through libgpod), with
// its tags, length, kind and cover. The database is written once, when the batch ends, after
// the current one is kept beside it as iTunesDB.morvane-backup. Tracks already on the iPod are
// never removed or changed.
#pragma once

#include "players/send_outcome.h"

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace morvane {

class IpodSender {
public:
    // Reads the database of the iPod whose root is `root` (the folder that holds
    // iPod_Control/). Nothing is written until finish().
    explicit IpodSender(std::string root);
    ~IpodSender();
    IpodSender(const IpodSender&) = delete;
    IpodSender& operator=(const IpodSender&) = delete;

    // Why no file can go onto this iPod (a database libgpod cannot read, a model whose
    // database it cannot sign, an iPhone); empty when files can be sent.
    std::string refusal() const;

    // Copies `file` (it stays where it is) onto the iPod and adds its track to the database
    // in memory. Safe from several threads: the database is used by one at a time.
    SendOutcome send(const FileToSend& file);

    // Writes the database with the tracks sent (once; later calls and sends do nothing).
    // Nothing when it was written or nothing was sent; else why, and then none of the sent
    // files is on the iPod: the database is as it was before and their copies are removed.
    SendFinish finish();

private:
    struct Library; // libgpod's database: GLib's types stay out of this header

    SendOutcome add(const FileToSend& file); // under mutex_
    void forget_sent_files();                // under mutex_

    const std::string root_;
    mutable std::mutex mutex_;
    std::unique_ptr<Library> library_;
    std::string refusal_;
    std::vector<std::string> sent_files_; // where this batch's copies landed
    bool finished_ = false;
};

} // namespace morvane
