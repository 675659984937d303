// SPDX-License-Identifier: GPL-3.0-or-later
// Broken copies of good media files, for tests that feed the engine truncated or corrupted
// input, and recordings joined or patched as recorders leave them.
#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

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

// Writes `parts` one after the other, byte for byte, to `destination` (replacing it), as
// `cat a.ts b.ts > joined.ts` joins a recorder's split files. Throws std::runtime_error when a
// part cannot be read, the destination cannot be written or is one of the parts.
void join_files(const std::vector<std::filesystem::path>& parts,
                const std::filesystem::path& destination);

// MPEG-TS files (188-byte packets) patched in place. A PES is of a type by its stream_id:
// video 0xE0-0xEF; audio 0xC0-0xDF, and private stream 1 (0xBD), which carries AC-3. Times
// count from the file's first PTS (the first PES in the file that has one, of any stream),
// in 33-bit arithmetic. Both throw std::runtime_error when the file cannot be read or written
// or a packet has lost its sync byte.

// The first PES of `type` whose PTS lies `at_seconds` or more after the file's first PTS gets
// its PTS, and its DTS when it has one, `later_seconds` later (marker and prefix bits kept),
// as a damaged recorder leaves it. Throws when there is no such PES.
void stamp_ts_pes_later(const std::filesystem::path& path, AVMediaType type, double at_seconds,
                        double later_seconds);

// Every TS packet of a PES of `type` whose PTS lies in [from_seconds, to_seconds) after the
// file's first PTS (from its payload-unit-start packet up to the next one of its PID) becomes a
// null packet (PID 0x1FFF), so that the file keeps its size and every other packet its place:
// a recorder that lost that stream over a span. Throws when nothing was dropped.
void drop_ts_stream(const std::filesystem::path& path, AVMediaType type, double from_seconds,
                    double to_seconds);

} // namespace morvane::test
