// SPDX-License-Identifier: GPL-3.0-or-later
// Sending converted files to an iPod that runs its own firmware: each file is copied into
// iPod_Control/Music/ and becomes a track of the iPod's own database (through libgpod), with
// its tags, length, kind, cover and Sound Check. A file the iPod holds already (made from the
// same source for the same device) is not copied again. The database is written once, when
// the batch ends, after what it rewrites is kept (see IpodDatabaseFiles); until then each copy
// is noted in a journal on the iPod (see IpodJournal), so that no copy of a batch cut short
// stays on the iPod unlisted. The databases are written whole or not at all with respect to a
// quit at once (see ImmediateQuit). Tracks already on the iPod are never removed or changed.
#pragma once

#include "platform/immediate_quit.h"
#include "players/ipod_database_files.h"
#include "players/ipod_journal.h"
#include "players/player_presence.h"
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
    // iPod_Control/) and removes the copies an earlier batch cut short left unlisted.
    // Nothing else is written until finish(). With `quit`, a quit at once waits while the
    // databases are written and put back.
    explicit IpodSender(std::string root, ImmediateQuit* quit = nullptr);
    ~IpodSender();
    IpodSender(const IpodSender&) = delete;
    IpodSender& operator=(const IpodSender&) = delete;

    // Why no file can go onto this iPod (a database libgpod cannot read or sign, or that
    // cannot be written, an iPhone, a full iPod, another batch sending to it); empty when
    // files can be sent.
    std::string refusal() const;
    // Why no film can go onto this iPod (it plays no video); empty when films can.
    std::string films_refusal() const;

    // Copies `file` (it stays where it is) onto the iPod and adds its track to the database
    // in memory, unless the iPod holds it already. Safe from several threads: the database is
    // used by one at a time.
    SendOutcome send(const FileToSend& file);

    // Writes the database with the tracks sent (once; later calls and sends do nothing).
    // Nothing when it was written or nothing was sent; else why, and then none of the sent
    // files is on the iPod: the database is as it was before and their copies are removed.
    SendFinish finish();

private:
    struct Library; // libgpod's database: GLib's types stay out of this header

    std::string open_library();                                          // the refusal, or ""
    SendOutcome add(const FileToSend& file);                             // under mutex_
    SendOutcome failed(const std::string& reason) const;                 // under mutex_
    std::optional<std::string> write_database(IpodDatabaseFiles& files); // under mutex_
    void forget_sent_files();                                            // under mutex_

    const std::string root_;
    ImmediateQuit* const quit_;
    const PlayerPresence presence_;
    IpodJournal journal_;
    mutable std::mutex mutex_;
    std::unique_ptr<Library> library_;
    std::string refusal_;
    std::vector<std::string> sent_files_; // where this batch's copies landed
    bool finished_ = false;
};

} // namespace morvane
