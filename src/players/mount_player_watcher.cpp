// SPDX-License-Identifier: GPL-3.0-or-later
#include "players/mount_player_watcher.h"

#include "players/mount_table.h"

#include <QSocketNotifier>
#include <QTimer>
#include <fcntl.h>
#include <string>
#include <unistd.h>

namespace morvane {

namespace {

constexpr const char* mount_table_path = "/proc/self/mountinfo";
constexpr int poll_milliseconds = 3000;

// The whole table from its start: the kernel builds it anew for each read from offset 0.
std::string read_table(int descriptor) {
    std::string text;
    if (lseek(descriptor, 0, SEEK_SET) != 0) {
        return text;
    }
    char buffer[16384];
    for (;;) {
        const ssize_t got = read(descriptor, buffer, sizeof buffer);
        if (got <= 0) {
            break;
        }
        text.append(buffer, static_cast<std::size_t>(got));
    }
    return text;
}

} // namespace

MountPlayerWatcher::MountPlayerWatcher(QObject* parent) : PlayerWatcher(parent) {
    mount_table_ = open(mount_table_path, O_RDONLY | O_CLOEXEC);
    if (mount_table_ >= 0) {
        table_changes_ = new QSocketNotifier(mount_table_, QSocketNotifier::Exception, this);
        connect(table_changes_, &QSocketNotifier::activated, this, &MountPlayerWatcher::rescan);
    } else {
        poll_timer_ = new QTimer(this);
        poll_timer_->setInterval(poll_milliseconds);
        connect(poll_timer_, &QTimer::timeout, this, &MountPlayerWatcher::rescan);
        poll_timer_->start();
    }
    rescan();
}

MountPlayerWatcher::~MountPlayerWatcher() {
    delete table_changes_; // before the descriptor it watches is closed
    if (mount_table_ >= 0) {
        close(mount_table_);
    }
}

void MountPlayerWatcher::rescan() {
    std::string table;
    if (mount_table_ >= 0) {
        table = read_table(mount_table_);
    } else {
        const int descriptor = open(mount_table_path, O_RDONLY | O_CLOEXEC);
        if (descriptor >= 0) {
            table = read_table(descriptor);
            close(descriptor);
        }
    }
    std::vector<PlayerRoot> found;
    for (const MountedFileSystem& mount : parse_mountinfo(table)) {
        // Only removable kinds of file system are looked into: a network share that does
        // not answer would hold up the window.
        if (!may_be_player_file_system(mount.type)) {
            continue;
        }
        if (std::optional<PlayerRoot> root = find_player_root(mount.mount_point)) {
            found.push_back(std::move(*root));
        }
    }
    if (found != players_) {
        players_ = std::move(found);
        emit players_changed();
    }
}

} // namespace morvane
