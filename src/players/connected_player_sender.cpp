// SPDX-License-Identifier: GPL-3.0-or-later
#include "players/connected_player_sender.h"

#include <memory>

namespace morvane {

namespace {

std::optional<std::string> problem_of(const SendOutcome& outcome) {
    if (outcome.sent()) {
        return std::nullopt;
    }
    return outcome.reason;
}

} // namespace

ConnectedPlayerSender::ConnectedPlayerSender(const PlayerRoot& root) {
    if (root.kind == PlayerKind::ipod) {
        ipod_.emplace(root.path);
    } else {
        psp_.emplace(root.path);
    }
}

std::optional<std::string> ConnectedPlayerSender::send(const std::string& file,
                                                       const std::string& name, SentMedia media) {
    // An iPod names its files itself; the tags carry the title.
    return problem_of(ipod_ ? ipod_->send(file, media) : psp_->send(file, name, media));
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
