// SPDX-License-Identifier: GPL-3.0-or-later
#include "players/connected_player_sender.h"

#include <memory>

namespace morvane {

ConnectedPlayerSender::ConnectedPlayerSender(const PlayerRoot& root) {
    if (root.kind == PlayerKind::ipod) {
        ipod_.emplace(root.path);
    } else {
        psp_.emplace(root.path);
    }
}

SendOutcome ConnectedPlayerSender::send_file(const std::string& file, const std::string& name,
                                             SentMedia media) {
    // An iPod names its files itself; the tags carry the title.
    return ipod_ ? ipod_->send(file, media) : psp_->send(file, name, media);
}

std::optional<std::string> ConnectedPlayerSender::send(const std::string& file,
                                                       const std::string& name, SentMedia media) {
    SendOutcome outcome = send_file(file, name, media);
    if (outcome.sent()) {
        return std::nullopt;
    }
    return std::move(outcome.reason);
}

std::optional<std::string> ConnectedPlayerSender::finish() {
    return ipod_ ? ipod_->finish() : std::nullopt;
}

PlayerSenderOpener ConnectedPlayerSender::opener(const PlayerRoot& root) {
    return [root]() -> std::unique_ptr<PlayerSender> {
        return std::make_unique<ConnectedPlayerSender>(root);
    };
}

} // namespace morvane
