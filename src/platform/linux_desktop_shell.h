// SPDX-License-Identifier: GPL-3.0-or-later
// The desktop shell on a Linux desktop: folders and links go to the desktop's own handlers
// (xdg-open or the desktop portal, through QDesktopServices); power-off is systemd-logind's
// PowerOff on the system bus. Needs a QGuiApplication for the first two and a
// QCoreApplication for the third; each reports a failure when it is missing.
#pragma once

#include "platform/desktop_shell.h"

#include <QDBusConnection>
#include <QUrl>
#include <optional>

namespace morvane {

class LinuxDesktopShell final : public DesktopShell {
public:
    // Powers off through the system bus.
    LinuxDesktopShell() = default;
    // Powers off through the given bus: lets a test stand a recording logind on a private bus.
    explicit LinuxDesktopShell(QDBusConnection bus) : bus_(std::move(bus)) {}

    Failure open_folder(const std::string& folder) override;
    // Qt opens folders with xdg-open (or the desktop portal inside a sandbox).
    Failure cannot_open_folders() const override;
    Failure open_url(const std::string& url) override;
    Failure power_off() override;

private:
    // Off the application's thread the request is queued to it and only a missing
    // application is reported, as the desktop's answer would come too late.
    static Failure open_on_application_thread(const QUrl& url);

    std::optional<QDBusConnection> bus_;
};

} // namespace morvane
