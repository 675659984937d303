// SPDX-License-Identifier: GPL-3.0-or-later
// Finds players among the mounted file systems, as /proc/self/mountinfo lists them, and
// looks again whenever the kernel says the table changed (it marks the file with an
// exceptional condition); where that cannot be watched, every few seconds.
#pragma once

#include "players/player_watcher.h"

class QSocketNotifier;
class QTimer;

namespace morvane {

class MountPlayerWatcher : public PlayerWatcher {
    Q_OBJECT

public:
    explicit MountPlayerWatcher(QObject* parent = nullptr);
    ~MountPlayerWatcher() override;

    std::vector<PlayerRoot> players() const override { return players_; }

private:
    // Reads the table again; tells of a change.
    void rescan();

    int mount_table_ = -1; // the open /proc/self/mountinfo
    QSocketNotifier* table_changes_ = nullptr;
    QTimer* poll_timer_ = nullptr;
    std::vector<PlayerRoot> players_;
};

} // namespace morvane
