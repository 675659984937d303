// SPDX-License-Identifier: GPL-3.0-or-later
// Where the desktop's worker sends the files of one batch after they converted: a connected
// player. The players module implements it; the worker knows only this, so jobs stay free
// of any player's layout.
#pragma once

#include "jobs/sent_media.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace morvane {

class PlayerSender {
public:
    virtual ~PlayerSender() = default;

    // Copies the converted `file` (it stays where it is) onto the player, named after `name`
    // where the player keeps names. Nothing when it landed; else why not.
    virtual std::optional<std::string> send(const std::string& file, const std::string& name,
                                            SentMedia media) = 0;
    // The batch is over (called once). Nothing when every file sent is on the player; else
    // why none of them is after all.
    virtual std::optional<std::string> finish() = 0;
};

// Opens a sender for the player connected when it is called; called on the worker thread,
// so it must hold everything it needs by value.
using PlayerSenderOpener = std::function<std::unique_ptr<PlayerSender>()>;

} // namespace morvane
