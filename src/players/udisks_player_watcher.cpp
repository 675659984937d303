// SPDX-License-Identifier: GPL-3.0-or-later
#include "players/udisks_player_watcher.h"

#include "players/mount_table.h"

#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusReply>
#include <QDBusVariant>
#include <QMap>
#include <algorithm>

namespace morvane {

namespace {

const QString udisks = QStringLiteral("org.freedesktop.UDisks2");
const QString udisks_root = QStringLiteral("/org/freedesktop/UDisks2");
const QString object_manager = QStringLiteral("org.freedesktop.DBus.ObjectManager");
const QString properties = QStringLiteral("org.freedesktop.DBus.Properties");
const QString block_interface = QStringLiteral("org.freedesktop.UDisks2.Block");
const QString file_system_interface = QStringLiteral("org.freedesktop.UDisks2.Filesystem");
const QString drive_interface = QStringLiteral("org.freedesktop.UDisks2.Drive");

constexpr int question_timeout_ms = 10'000;
// The first question holds up the window's start: files named on the command line may
// convert within a second and must find the player already known.
constexpr int first_question_timeout_ms = 3'000;
// Unmounting writes out what the system still holds for the player: a slow stick takes long.
constexpr int unmount_timeout_ms = 300'000;

using InterfaceProperties = QMap<QString, QVariantMap>;

// All UDisks2 knows: its objects with their interfaces and properties.
QDBusMessage managed_objects_question() {
    return QDBusMessage::createMethodCall(udisks, udisks_root, object_manager,
                                          QStringLiteral("GetManagedObjects"));
}

// A file system's mount points (D-Bus "aay": each a path of bytes ending in a NUL).
std::vector<std::string> mount_points(const QVariant& value) {
    std::vector<std::string> points;
    for (QByteArray point : qdbus_cast<QList<QByteArray>>(value)) {
        while (point.endsWith('\0')) {
            point.chop(1);
        }
        if (!point.isEmpty()) {
            points.push_back(point.toStdString());
        }
    }
    return points;
}

} // namespace

bool UdisksPlayerWatcher::available(const QDBusConnection& bus) {
    if (!bus.isConnected() || bus.interface() == nullptr) {
        return false;
    }
    const QDBusReply<bool> running = bus.interface()->isServiceRegistered(udisks);
    if (running.isValid() && running.value()) {
        return true;
    }
    const QDBusReply<QStringList> startable = bus.interface()->activatableServiceNames();
    return startable.isValid() && startable.value().contains(udisks);
}

UdisksPlayerWatcher::UdisksPlayerWatcher(const QDBusConnection& bus, QObject* parent)
    : PlayerWatcher(parent), bus_(bus) {
    // A device added or taken away, and a file system mounted or unmounted (its MountPoints
    // change, on whichever object holds it).
    bus_.connect(udisks, udisks_root, object_manager, QStringLiteral("InterfacesAdded"), this,
                 SLOT(object_news(QDBusMessage)));
    bus_.connect(udisks, udisks_root, object_manager, QStringLiteral("InterfacesRemoved"), this,
                 SLOT(object_news(QDBusMessage)));
    bus_.connect(udisks, QString(), properties, QStringLiteral("PropertiesChanged"), this,
                 SLOT(object_news(QDBusMessage)));
    const QDBusMessage answer =
        bus_.call(managed_objects_question(), QDBus::Block, first_question_timeout_ms);
    if (answer.type() == QDBusMessage::ReplyMessage) {
        take_objects(answer);
    } else {
        // UDisks2 being started for this question can take longer: it is asked again
        // without holding up the window, since it tells of nothing it found while starting.
        rescan();
    }
}

std::vector<PlayerRoot> UdisksPlayerWatcher::players() const {
    std::vector<PlayerRoot> roots;
    for (const MountedPlayer& player : mounted_) {
        roots.push_back(player.root);
    }
    return roots;
}

void UdisksPlayerWatcher::object_news(const QDBusMessage& message) {
    if (message.member() == QLatin1String("PropertiesChanged") &&
        message.arguments().value(0).toString() != file_system_interface) {
        return; // a drive's temperature, a job's progress…
    }
    rescan();
}

void UdisksPlayerWatcher::rescan() {
    if (asking_) {
        ask_again_ = true;
        return;
    }
    asking_ = true;
    auto* call = new QDBusPendingCallWatcher(
        bus_.asyncCall(managed_objects_question(), question_timeout_ms), this);
    connect(call, &QDBusPendingCallWatcher::finished, this,
            [this](QDBusPendingCallWatcher* answer) {
                answer->deleteLater();
                asking_ = false;
                if (ask_again_) {
                    ask_again_ = false;
                    rescan(); // this answer is already old
                    return;
                }
                take_objects(answer->reply());
            });
}

void UdisksPlayerWatcher::take_objects(const QDBusMessage& reply) {
    if (reply.type() != QDBusMessage::ReplyMessage) {
        return; // UDisks2 is restarting, say: what was known stays until it answers again
    }
    QMap<QDBusObjectPath, InterfaceProperties> objects;
    reply.arguments().value(0).value<QDBusArgument>() >> objects;

    std::vector<MountedPlayer> found;
    for (auto object = objects.cbegin(); object != objects.cend(); ++object) {
        const InterfaceProperties& interfaces = object.value();
        if (!interfaces.contains(file_system_interface)) {
            continue;
        }
        const QVariantMap block = interfaces.value(block_interface);
        // Only the file systems of iPods and memory sticks are looked into.
        if (!may_be_player_file_system(
                block.value(QStringLiteral("IdType")).toString().toStdString())) {
            continue;
        }
        const QVariantMap file_system = interfaces.value(file_system_interface);
        for (const std::string& point :
             mount_points(file_system.value(QStringLiteral("MountPoints")))) {
            if (std::optional<PlayerRoot> root = find_player_root(point)) {
                found.push_back(
                    {std::move(*root), object.key(),
                     qdbus_cast<QDBusObjectPath>(block.value(QStringLiteral("Drive")))});
                break;
            }
        }
    }
    const bool changed =
        !std::ranges::equal(found, mounted_, {}, &MountedPlayer::root, &MountedPlayer::root);
    mounted_ = std::move(found);
    if (changed) {
        emit players_changed();
    }
}

void UdisksPlayerWatcher::eject(const PlayerRoot& player) {
    const auto mounted =
        std::ranges::find(mounted_, player.path,
                          [](const MountedPlayer& m) -> const std::string& { return m.root.path; });
    if (mounted == mounted_.end()) {
        emit eject_finished(tr("It is no longer mounted"));
        return;
    }
    QDBusMessage unmount = QDBusMessage::createMethodCall(
        udisks, mounted->file_system.path(), file_system_interface, QStringLiteral("Unmount"));
    unmount << QVariantMap();
    const QDBusObjectPath drive = mounted->drive;
    auto* call = new QDBusPendingCallWatcher(bus_.asyncCall(unmount, unmount_timeout_ms), this);
    connect(call, &QDBusPendingCallWatcher::finished, this,
            [this, drive](QDBusPendingCallWatcher* finished) {
                finished->deleteLater();
                if (finished->isError()) {
                    emit eject_finished(finished->error().message());
                    return;
                }
                power_off(drive);
            });
}

void UdisksPlayerWatcher::power_off(const QDBusObjectPath& drive) {
    if (drive.path().isEmpty() || drive.path() == QLatin1String("/")) {
        emit eject_finished({});
        return;
    }
    QDBusMessage power_off = QDBusMessage::createMethodCall(udisks, drive.path(), drive_interface,
                                                            QStringLiteral("PowerOff"));
    power_off << QVariantMap();
    auto* call = new QDBusPendingCallWatcher(bus_.asyncCall(power_off, question_timeout_ms), this);
    connect(call, &QDBusPendingCallWatcher::finished, this,
            [this](QDBusPendingCallWatcher* finished) {
                finished->deleteLater();
                // Unmounted, every byte is on the player: a drive that cannot be powered off (one
                // that another of its file systems still holds, say) can still be unplugged.
                emit eject_finished({});
            });
}

} // namespace morvane
