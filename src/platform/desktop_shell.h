// SPDX-License-Identifier: GPL-3.0-or-later
// What Morvane asks of the desktop: show a folder or a link, power the computer off.
// Behind an interface so that the batch logic runs against a recording stand-in in tests,
// and no test can ever switch a machine off.
#pragma once

#include <optional>
#include <string>

namespace morvane {

class DesktopShell {
public:
    // Nothing when the desktop took the request, else why it did not, in one English line.
    using Failure = std::optional<std::string>;

    virtual ~DesktopShell() = default;

    // Shows the folder in the desktop's file browser.
    virtual Failure open_folder(const std::string& folder) = 0;
    // Nothing when this desktop has a program that opens folders, else why it has none (then
    // open_folder always fails, and the settings say so rather than every batch).
    virtual Failure cannot_open_folders() const { return std::nullopt; }
    // Opens a web or mail link in the user's browser or mail program.
    virtual Failure open_url(const std::string& url) = 0;
    // Asks the system to power off now, without asking anyone for a password.
    virtual Failure power_off() = 0;
};

} // namespace morvane
