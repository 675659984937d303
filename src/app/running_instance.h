// SPDX-License-Identifier: GPL-3.0-or-later
// One Morvane per desktop. The first start on a display claims it (a lock file in the user's
// runtime folder, named after the display) and listens on a local socket beside it; a later
// start hands its files over the socket to that window, which converts them in its own
// batch, and ends (with no files the window comes to the front). The lock outlives no
// process: one left by a crash is taken over.
//
// A local socket rather than D-Bus activation: it needs no session bus and no service file
// installed (the build tree and the test sessions have neither), it is keyed by display as a
// window is (one session bus may serve several displays), and the second start ends only
// once the first has taken its files.
#pragma once

#include <QObject>
#include <QString>
#include <memory>
#include <string>
#include <vector>

class QLocalServer;
class QLocalSocket;
class QLockFile;

namespace morvane {

class RunningInstance : public QObject {
    Q_OBJECT

public:
    // The lock and socket of this user and `display` (see display_key()).
    explicit RunningInstance(const QString& display = display_key());
    ~RunningInstance() override;

    // What tells one desktop from another: the X display and the Wayland display.
    static QString display_key();

    // True when no other Morvane runs on this display: this one is it from now on.
    bool claim();
    // Takes the files of later starts (needs the application object).
    bool listen();
    // Hands `paths` to the Morvane that runs here; true once it has taken them. Waits at most
    // `timeout_ms` for it (it may be starting).
    bool hand_over(const std::vector<std::string>& paths, int timeout_ms) const;

signals:
    // Another start's files (absolute paths); none: it asked for the window.
    void files_handed_over(const std::vector<std::string>& paths);

private:
    void take_connection();
    void read_request(QLocalSocket* socket);

    QString lock_path_;
    QString socket_path_;
    std::unique_ptr<QLockFile> lock_;
    QLocalServer* server_ = nullptr;
};

} // namespace morvane
