// SPDX-License-Identifier: GPL-3.0-or-later
// FFmpeg error codes turned into exceptions with FFmpeg's own text (av_err2str is a C compound
// literal, unusable in C++).
#pragma once

#include <string>
#include <string_view>

namespace morvane::test::av {

std::string error_text(int error_code);

// Returns `result` when it is not negative; otherwise throws std::runtime_error
// "<what>: <FFmpeg's text>".
int check(int result, std::string_view what);

[[noreturn]] void fail(std::string_view what);

} // namespace morvane::test::av
