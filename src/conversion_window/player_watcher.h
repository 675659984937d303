// SPDX-License-Identifier: GPL-3.0-or-later
// Which players are mounted, and news when one comes or goes. The window asks the one it is
// given; the product's reads the system's mount table, a test's announces a folder.
#pragma once

#include "players/player_root.h"

#include <QObject>
#include <vector>

namespace morvane {

class PlayerWatcher : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;

    // The players mounted now, in the order the system lists them.
    virtual std::vector<PlayerRoot> players() const = 0;

signals:
    // A player came or went (emitted on the watcher's thread).
    void players_changed();
};

} // namespace morvane
