// SPDX-License-Identifier: GPL-3.0-or-later
// Reading names that are bytes from the file system as UTF-8, one character at a time.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace morvane {

// The length of the well-formed UTF-8 sequence at the start of `text` (1 for ASCII), 0 when
// it is not one: a stray byte, a cut sequence, an overlong form, a surrogate, or beyond
// U+10FFFF.
std::size_t utf8_sequence_length(std::string_view text);

// `text` cut to at most `limit` bytes, never inside a character.
std::string cut_at_character(const std::string& text, std::size_t limit);

} // namespace morvane
