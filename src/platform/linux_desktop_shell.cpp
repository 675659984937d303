// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/linux_desktop_shell.h"

#include <QDBusError>
#include <QDBusMessage>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QStandardPaths>
#include <QThread>
#include <filesystem>
#include <system_error>

namespace morvane {
namespace {

// logind answers at once; the limit only guards against a bus that never answers.
constexpr int power_off_reply_timeout_ms = 25000;

} // namespace

DesktopShell::Failure LinuxDesktopShell::open_folder(const std::string& folder) {
    std::error_code error;
    if (!std::filesystem::is_directory(folder, error)) {
        return "the folder " + folder + " does not exist";
    }
    return open_on_application_thread(QUrl::fromLocalFile(QString::fromStdString(folder)));
}

DesktopShell::Failure LinuxDesktopShell::cannot_open_folders() const {
    // Inside Flatpak or Snap, Qt asks the desktop portal, which is always there.
    const bool sandboxed =
        std::filesystem::exists("/.flatpak-info") || qEnvironmentVariableIsSet("SNAP");
    if (sandboxed || !QStandardPaths::findExecutable(QStringLiteral("xdg-open")).isEmpty()) {
        return std::nullopt;
    }
    return std::string("xdg-open is not installed");
}

DesktopShell::Failure LinuxDesktopShell::open_url(const std::string& url) {
    const QUrl parsed(QString::fromStdString(url), QUrl::StrictMode);
    if (!parsed.isValid() || parsed.scheme().isEmpty()) {
        return url + " is not a valid link";
    }
    return open_on_application_thread(parsed);
}

DesktopShell::Failure LinuxDesktopShell::open_on_application_thread(const QUrl& url) {
    auto* application = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    if (application == nullptr) {
        return std::string("no desktop session to open ") + url.toString().toStdString();
    }
    if (QThread::currentThread() != application->thread()) {
        QMetaObject::invokeMethod(
            application, [url] { QDesktopServices::openUrl(url); }, Qt::QueuedConnection);
        return std::nullopt;
    }
    if (!QDesktopServices::openUrl(url)) {
        return "the desktop could not open " + url.toString().toStdString();
    }
    return std::nullopt;
}

DesktopShell::Failure LinuxDesktopShell::power_off() {
    if (QCoreApplication::instance() == nullptr) {
        return "power-off needs the application to be running";
    }
    QDBusConnection bus = bus_ ? *bus_ : QDBusConnection::systemBus();
    if (!bus.isConnected()) {
        return "no connection to the system bus: " + bus.lastError().message().toStdString();
    }
    QDBusMessage call =
        QDBusMessage::createMethodCall("org.freedesktop.login1", "/org/freedesktop/login1",
                                       "org.freedesktop.login1.Manager", "PowerOff");
    // Not interactive: a batch that ends at night must not wait on a password prompt.
    call << false;
    const QDBusMessage reply = bus.call(call, QDBus::Block, power_off_reply_timeout_ms);
    if (reply.type() != QDBusMessage::ReplyMessage) {
        return "the system refused to power off: " + reply.errorName().toStdString() + ": " +
               reply.errorMessage().toStdString();
    }
    return std::nullopt;
}

} // namespace morvane
