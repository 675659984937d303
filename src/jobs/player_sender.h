// SPDX-License-Identifier: GPL-3.0-or-later
// Where a batch sends its converted files: a connected player. The players module implements
// it; the desktop's worker and the command line know only this, so jobs stay free of any
// player's layout.
//
// Sending is a sync: a file the player holds already (made from the same source for the
// same device) is not copied again, and a file goes onto the player only while the player
// that was connected when the batch began is still there.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace morvane {

// Which of a player's collections a file joins: its films or its sound.
enum class SentMedia { video, sound };

// One converted file for a player.
struct FileToSend {
    std::string path;   // the converted file; it stays where it is
    std::string name;   // its name on a player that keeps names (the input's, with the
                        // output's extension)
    std::string folder; // with the folders' layout kept, its folder ("Artist/Album"); else ""
    SentMedia media = SentMedia::sound;
    std::string source; // which source made it and for what (see output_mark.h)
    std::string target;
};

// What became of one file sent to a player.
struct SendOutcome {
    std::string landed_path;    // sent, or held already: the file's path on the player
    std::string reason;         // not sent: why, in words a person can act on
    bool already_there = false; // the player held it already: nothing was copied
    // Copied, but the player lists it only once finish() writes its database: not sent yet.
    bool pending = false;
    bool sent() const { return !landed_path.empty(); }
};

// How the batch's sending ended.
struct SendFinish {
    // None of the pending files is on the player after all: why.
    std::optional<std::string> failure;
    // The pending files are on the player, but something went wrong after (the database may
    // not have reached the player's storage): what.
    std::optional<std::string> warning;
};

class PlayerSender {
public:
    virtual ~PlayerSender() = default;

    // Why no file can go onto this player at all (a database that cannot be read or signed,
    // a read-only or full player): asked before anything converts. Empty when files can go.
    virtual std::string refusal() const = 0;
    // Why no film can go onto this player (an iPod that plays no video): asked before a film
    // is converted for it. Empty when films can go.
    virtual std::string films_refusal() const { return {}; }
    // Copies the file onto the player, or finds it there already. Safe from several threads.
    virtual SendOutcome send(const FileToSend& file) = 0;
    // The batch is over (called once, also after a stop): the pending files join the
    // player's library.
    virtual SendFinish finish() = 0;
};

// Opens a sender for the player connected when it is called; called on the worker thread,
// so it must hold everything it needs by value.
using PlayerSenderOpener = std::function<std::unique_ptr<PlayerSender>()>;

} // namespace morvane
