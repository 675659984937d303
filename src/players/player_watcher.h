// SPDX-License-Identifier: GPL-3.0-or-later
// Which players are mounted, and news when one comes or goes. The window asks the one it is
// given: UDisks2's where the system runs it (it can also eject), else the mount table's.
#pragma once

#include "players/player_root.h"

#include <QObject>
#include <QString>
#include <vector>

namespace morvane {

class PlayerWatcher : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;

    // The players mounted now, in the order the system lists them.
    virtual std::vector<PlayerRoot> players() const = 0;

    // Whether eject() can unmount a player and power it off.
    virtual bool can_eject() const { return false; }
    // Unmounts `player` and powers it off; eject_finished() tells how it went. Only while
    // nothing is being written to it.
    virtual void eject(const PlayerRoot& player) {
        (void)player;
        emit eject_finished(tr("This system cannot eject it from here"));
    }

signals:
    // A player came or went (emitted on the watcher's thread).
    void players_changed();
    // The last eject is over: `problem` is empty when the player can be unplugged.
    void eject_finished(const QString& problem);
};

} // namespace morvane
