// SPDX-License-Identifier: GPL-3.0-or-later
// Finds players among the file systems UDisks2 has mounted, hears from it when one is
// mounted or goes, and ejects a player as the desktop's file manager does: unmount, then
// power the drive off.
#pragma once

#include "players/player_watcher.h"

#include <QDBusConnection>
#include <QDBusObjectPath>

class QDBusMessage;

namespace morvane {

class UdisksPlayerWatcher : public PlayerWatcher {
    Q_OBJECT

public:
    // Whether UDisks2 answers on `bus`, or would be started by it when called.
    static bool available(const QDBusConnection& bus);

    explicit UdisksPlayerWatcher(const QDBusConnection& bus, QObject* parent = nullptr);

    std::vector<PlayerRoot> players() const override;
    bool can_eject() const override { return true; }
    void eject(const PlayerRoot& player) override;

private slots:
    // Any news from UDisks2: a device came, went, or was mounted or unmounted.
    void object_news(const QDBusMessage& message);

private:
    struct MountedPlayer {
        PlayerRoot root;
        QDBusObjectPath file_system; // the block device that holds it
        QDBusObjectPath drive;       // what is powered off; "/" when UDisks2 names none
    };

    // Asks UDisks2 for all it knows (once at a time; news during a question asks again).
    void rescan();
    // What GetManagedObjects answered: the players among the mounted file systems.
    void take_objects(const QDBusMessage& reply);
    void power_off(const QDBusObjectPath& drive);

    QDBusConnection bus_;
    std::vector<MountedPlayer> mounted_;
    bool asking_ = false;
    bool ask_again_ = false;
};

} // namespace morvane
