// SPDX-License-Identifier: GPL-3.0-or-later
// A desktop shell that only records what it was asked, for tests of everything that opens
// folders or powers off. Safe to call from a worker thread.
#pragma once

#include "platform/desktop_shell.h"

#include <mutex>
#include <string>
#include <vector>

namespace morvane::test {

class RecordingShell final : public DesktopShell {
public:
    struct Call {
        enum class Kind { open_folder, open_url, power_off } kind;
        std::string argument; // the folder or link; empty for power_off

        bool operator==(const Call&) const = default;
    };

    Failure open_folder(const std::string& folder) override;
    Failure open_url(const std::string& url) override;
    Failure power_off() override;
    Failure cannot_open_folders() const override;

    // From now on every request is recorded and then answered with this failure.
    void fail_with(std::string reason);
    // As a desktop without xdg-open: nothing could ever open a folder, for this reason.
    void have_no_folder_opener(std::string reason);

    std::vector<Call> calls() const;
    int count(Call::Kind kind) const;

private:
    Failure record(Call call);

    mutable std::mutex lock_;
    std::vector<Call> calls_;
    Failure failure_;
    Failure no_folder_opener_;
};

} // namespace morvane::test
