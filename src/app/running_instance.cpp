// SPDX-License-Identifier: GPL-3.0-or-later
// The lock, the socket and the little message that carries a start's files.
//
// A request is "MRVN", a version byte, the length of what follows (32 bits, big-endian) and
// the paths, each ended by a NUL (a path holds none); the answer is one byte once the paths
// are queued.
#include "app/running_instance.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QStandardPaths>
#include <QThread>
#include <QTimer>
#include <QtEndian>
#include <unistd.h>

namespace morvane {

namespace {

constexpr char magic[] = {'M', 'R', 'V', 'N', 1};
constexpr int header_size = sizeof(magic) + 4;
// Far beyond any list of files a desktop hands over; a request claiming more is refused.
constexpr quint32 largest_request = 64u << 20;
constexpr char taken = 'k';
// A start that connects and says nothing is let go.
constexpr int request_timeout_ms = 10000;

QString safe_name(QString text) {
    for (QChar& c : text) {
        if (!c.isLetterOrNumber() && c != QLatin1Char('.') && c != QLatin1Char('-')) {
            c = QLatin1Char('_');
        }
    }
    return text;
}

} // namespace

RunningInstance::RunningInstance(const QString& display) {
    // The user's own runtime folder ($XDG_RUNTIME_DIR, else a private one Qt makes).
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty()) {
        folder = QDir::tempPath() + QStringLiteral("/morvane-") + QString::number(::getuid());
        QDir().mkpath(folder);
        QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                          QFileDevice::ExeOwner);
    }
    const QString base = folder + QStringLiteral("/morvane-") + safe_name(display);
    lock_path_ = base + QStringLiteral(".lock");
    socket_path_ = base + QStringLiteral(".socket");
}

RunningInstance::~RunningInstance() = default;

QString RunningInstance::display_key() {
    return qEnvironmentVariable("DISPLAY") + QLatin1Char('-') +
           qEnvironmentVariable("WAYLAND_DISPLAY");
}

bool RunningInstance::claim() {
    lock_ = std::make_unique<QLockFile>(lock_path_);
    // Only a lock whose process is gone is stale, however old.
    lock_->setStaleLockTime(0);
    if (lock_->tryLock(0)) {
        return true;
    }
    // Taken by a live Morvane, or not to be had at all (a folder that cannot be written):
    // in the second case this start goes on alone.
    const bool held = lock_->error() == QLockFile::LockFailedError;
    lock_.reset();
    return !held;
}

bool RunningInstance::listen() {
    if (!lock_) {
        return false;
    }
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    // What a crashed Morvane left behind; the lock says none runs.
    QLocalServer::removeServer(socket_path_);
    if (!server_->listen(socket_path_)) {
        return false;
    }
    connect(server_, &QLocalServer::newConnection, this, &RunningInstance::take_connection);
    return true;
}

void RunningInstance::take_connection() {
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { read_request(socket); });
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        QTimer::singleShot(request_timeout_ms, socket, &QLocalSocket::abort);
    }
}

void RunningInstance::read_request(QLocalSocket* socket) {
    if (socket->bytesAvailable() < header_size) {
        return;
    }
    const QByteArray header = socket->peek(header_size);
    const quint32 length = qFromBigEndian<quint32>(header.constData() + sizeof(magic));
    if (!header.startsWith(QByteArray(magic, sizeof(magic))) || length > largest_request) {
        socket->abort();
        return;
    }
    if (socket->bytesAvailable() < header_size + static_cast<qint64>(length)) {
        return;
    }
    socket->skip(header_size);
    const QByteArray body = socket->read(length);
    std::vector<std::string> paths;
    for (const QByteArray& path : body.split('\0')) {
        // The last split is what follows the final NUL: nothing.
        if (!path.isEmpty()) {
            paths.push_back(path.toStdString());
        }
    }
    emit files_handed_over(paths);
    socket->write(&taken, 1);
    socket->disconnectFromServer();
}

bool RunningInstance::hand_over(const std::vector<std::string>& paths, int timeout_ms) const {
    QByteArray body;
    for (const std::string& path : paths) {
        body.append(path.data(), static_cast<qsizetype>(path.size()));
        body.append('\0');
    }
    if (static_cast<quint64>(body.size()) > largest_request) {
        return false;
    }
    QByteArray request(magic, sizeof(magic));
    char length[4];
    qToBigEndian(static_cast<quint32>(body.size()), length);
    request.append(length, sizeof(length));
    request.append(body);

    const QDeadlineTimer deadline(timeout_ms);
    QLocalSocket socket;
    // The running one may still be starting: its socket comes soon after its lock.
    for (;;) {
        socket.connectToServer(socket_path_);
        if (socket.waitForConnected(static_cast<int>(deadline.remainingTime()))) {
            break;
        }
        if (deadline.hasExpired()) {
            return false;
        }
        QThread::msleep(50);
    }
    socket.write(request);
    while (socket.bytesToWrite() > 0) {
        if (!socket.waitForBytesWritten(static_cast<int>(deadline.remainingTime()))) {
            return false;
        }
    }
    char answer = 0;
    while (socket.bytesAvailable() < 1) {
        if (!socket.waitForReadyRead(static_cast<int>(deadline.remainingTime()))) {
            return false;
        }
    }
    return socket.read(&answer, 1) == 1 && answer == taken;
}

} // namespace morvane
