// SPDX-License-Identifier: GPL-3.0-or-later
// The way onto a player for a batch, the command line's or the desktop worker's: its files
// go onto a PSP's stick or into an iPod's library, whichever the root is.
#pragma once

#include "jobs/player_sender.h"
#include "players/ipod_sender.h"
#include "players/player_root.h"
#include "players/psp_sender.h"

#include <optional>
#include <string>

namespace morvane {

class ConnectedPlayerSender : public PlayerSender {
public:
    // An iPod's database is read here, on the thread that sends. With `quit`, a quit at once
    // waits while an iPod's databases are written (see IpodSender).
    explicit ConnectedPlayerSender(const PlayerRoot& root, ImmediateQuit* quit = nullptr);

    std::string refusal() const override;
    std::string films_refusal() const override;
    SendOutcome send(const FileToSend& file) override;
    SendFinish finish() override;

    // Opens a sender for `root` whenever it is called (a batch's first file to send); with
    // `quit`, as the constructor.
    static PlayerSenderOpener opener(const PlayerRoot& root, ImmediateQuit* quit = nullptr);

private:
    std::optional<PspSender> psp_;
    std::optional<IpodSender> ipod_;
};

} // namespace morvane
