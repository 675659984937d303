// SPDX-License-Identifier: GPL-3.0-or-later
// File names as morvane-convert prints them: a name may hold any byte but '/' and NUL, and
// escape sequences in it must not reach a terminal, nor newlines split a result line.
#pragma once

#include <string>
#include <string_view>

namespace morvane {

// Control characters (C0, DEL, C1) and bytes that are not UTF-8 become C-style escapes
// ("\n", "\t", "\x1b", "\xff"), a backslash becomes "\\"; everything else is kept.
std::string printable_name(std::string_view name);

} // namespace morvane
