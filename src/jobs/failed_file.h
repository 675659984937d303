// SPDX-License-Identifier: GPL-3.0-or-later
// A file a batch could not convert, and why, in words a user understands.
#pragma once

#include <string>

namespace morvane {

struct FailedFile {
    std::string path;
    std::string reason;

    friend bool operator==(const FailedFile&, const FailedFile&) = default;
};

} // namespace morvane
