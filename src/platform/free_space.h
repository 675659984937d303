// SPDX-License-Identifier: GPL-3.0-or-later
// How much a file system can still take, as an unprivileged writer sees it.
#pragma once

#include <cstdint>
#include <string>
#include <variant>

namespace morvane {

// The bytes an ordinary user may still write on the file system that holds `path` (blocks
// kept for root are not counted), or why that could not be told (the system's words).
std::variant<std::uint64_t, std::string> free_space(const std::string& path);

} // namespace morvane
