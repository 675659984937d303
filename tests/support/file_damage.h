// SPDX-License-Identifier: GPL-3.0-or-later
// Broken copies of good media files, for tests that feed the engine truncated or corrupted
// input.
#pragma once

#include <cstdint>
#include <filesystem>

extern "C" {
#include <libavutil/avutil.h>
}

namespace morvane::test {

// Copies the first `keep_fraction` (0..1) of `source`'s bytes to `destination`.
void write_truncated_copy(const std::filesystem::path& source,
                          const std::filesystem::path& destination, double keep_fraction);
// Copies the first `keep_bytes` bytes (all of them when the file is shorter).
void write_truncated_copy_bytes(const std::filesystem::path& source,
                                const std::filesystem::path& destination,
                                std::uintmax_t keep_bytes);

// Copies `source` whole, with `damaged_bytes` bytes from `at_fraction` of its length on
// overwritten by a fixed pseudo-random pattern (the same on every run). Returns the offset of
// the first damaged byte.
std::uintmax_t write_damaged_copy(const std::filesystem::path& source,
                                  const std::filesystem::path& destination,
                                  std::uintmax_t damaged_bytes = 4096, double at_fraction = 0.5);

// Rewrites, in place, the timestamp of the first FLV tag of `type` (audio or video) at or
// after `at_seconds` to lie `later_seconds` later, as a damaged recorder or a bad edit
// leaves it. Throws std::runtime_error when the file holds no such tag.
void stamp_flv_tag_later(const std::filesystem::path& path, AVMediaType type, double at_seconds,
                         double later_seconds);

} // namespace morvane::test
