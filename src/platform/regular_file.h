// SPDX-License-Identifier: GPL-3.0-or-later
// Reading a file that should be a small regular one (a player's SysInfo, a database, a
// journal) without ever blocking on what someone put in its place: a FIFO, a device.
#pragma once

#include <cstddef>
#include <limits>
#include <optional>
#include <string>

namespace morvane {

// The first `limit` bytes of the regular file at `path` (all of it by default); nothing when
// there is no such file, it is something else, or it cannot be read.
std::optional<std::string>
read_regular_file(const std::string& path,
                  std::size_t limit = std::numeric_limits<std::size_t>::max());

} // namespace morvane
