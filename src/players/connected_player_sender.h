// SPDX-License-Identifier: GPL-3.0-or-later
// The desktop worker's way onto a player: a batch's files go onto a PSP's stick or into an
// iPod's library, whichever the root is.
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
    // An iPod's database is read here, on the thread that sends.
    explicit ConnectedPlayerSender(const PlayerRoot& root);

    std::optional<std::string> send(const std::string& file, const std::string& name,
                                    SentMedia media) override;
    std::optional<std::string> finish() override;

    // Opens a sender for `root` whenever it is called (a batch's first file to send).
    static PlayerSenderOpener opener(const PlayerRoot& root);

private:
    std::optional<PspSender> psp_;
    std::optional<IpodSender> ipod_;
};

} // namespace morvane
