// SPDX-License-Identifier: GPL-3.0-or-later
// Which file an input is, told apart from any other file of the same name: its size, its
// modification time and a hash of its first and last megabyte. Outputs record it, so that a
// rerun knows which outputs an input has already made.
#pragma once

#include <optional>
#include <string>

namespace morvane {

// "1 <size> <modified seconds>.<nanoseconds> <hash>"; nothing when the file cannot be read.
std::optional<std::string> source_identity(const std::string& path);

} // namespace morvane
