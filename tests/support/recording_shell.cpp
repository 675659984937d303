// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/recording_shell.h"

#include <algorithm>

namespace morvane::test {

DesktopShell::Failure RecordingShell::open_folder(const std::string& folder) {
    return record({Call::Kind::open_folder, folder});
}

DesktopShell::Failure RecordingShell::open_url(const std::string& url) {
    return record({Call::Kind::open_url, url});
}

DesktopShell::Failure RecordingShell::power_off() {
    return record({Call::Kind::power_off, {}});
}

DesktopShell::Failure RecordingShell::cannot_open_folders() const {
    std::lock_guard guard(lock_);
    return no_folder_opener_;
}

void RecordingShell::have_no_folder_opener(std::string reason) {
    std::lock_guard guard(lock_);
    no_folder_opener_ = std::move(reason);
}

void RecordingShell::fail_with(std::string reason) {
    std::lock_guard guard(lock_);
    failure_ = std::move(reason);
}

std::vector<RecordingShell::Call> RecordingShell::calls() const {
    std::lock_guard guard(lock_);
    return calls_;
}

int RecordingShell::count(Call::Kind kind) const {
    std::lock_guard guard(lock_);
    return static_cast<int>(std::count_if(calls_.begin(), calls_.end(),
                                          [kind](const Call& call) { return call.kind == kind; }));
}

DesktopShell::Failure RecordingShell::record(Call call) {
    std::lock_guard guard(lock_);
    calls_.push_back(std::move(call));
    return failure_;
}

} // namespace morvane::test
