// Broken copies of good media files, for tests that feed the engine truncated or corrupted
// input.
#pragma once

#include <cstdint>
#include <filesystem>

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

} // namespace morvane::test
