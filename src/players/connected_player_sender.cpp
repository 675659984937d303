// SPDX-License-Identifier: GPL-3.0-or-later
#include "players/connected_player_sender.h"

#include <memory>

namespace morvane {

ConnectedPlayerSender::ConnectedPlayerSender(const PlayerRoot& root, ImmediateQuit* quit) {
    if (root.kind == PlayerKind::ipod) {
        ipod_.emplace(root.path, quit);
    } else {
        psp_.emplace(root.path);
    }
}

std::string ConnectedPlayerSender::refusal() const {
    return ipod_ ? ipod_->refusal() : psp_->refusal();
}

std::string ConnectedPlayerSender::films_refusal() const {
    return ipod_ ? ipod_->films_refusal() : std::string();
}

SendOutcome ConnectedPlayerSender::send(const FileToSend& file) {
    return ipod_ ? ipod_->send(file) : psp_->send(file);
}

SendFinish ConnectedPlayerSender::finish() {
    return ipod_ ? ipod_->finish() : SendFinish{};
}

PlayerSenderOpener ConnectedPlayerSender::opener(const PlayerRoot& root, ImmediateQuit* quit) {
    return [root, quit]() -> std::unique_ptr<PlayerSender> {
        return std::make_unique<ConnectedPlayerSender>(root, quit);
    };
}

} // namespace morvane
