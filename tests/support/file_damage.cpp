// SPDX-License-Identifier: GPL-3.0-or-later
// Truncated and corrupted copies of media files.
#include "support/file_damage.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

namespace morvane::test {
namespace {

std::vector<char> read_whole(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw std::runtime_error("cannot read " + path.string());
    }
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void write_whole(const std::filesystem::path& path, const char* data, std::size_t size) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(data, static_cast<std::streamsize>(size));
    out.close();
    if (!out) {
        throw std::runtime_error("cannot write " + path.string());
    }
}

void check_fraction(double fraction) {
    if (!(fraction >= 0.0 && fraction <= 1.0)) {
        throw std::invalid_argument("a fraction of a file lies between 0 and 1");
    }
}

} // namespace

void write_truncated_copy(const std::filesystem::path& source,
                          const std::filesystem::path& destination, double keep_fraction) {
    check_fraction(keep_fraction);
    const auto size = std::filesystem::file_size(source);
    write_truncated_copy_bytes(
        source, destination,
        static_cast<std::uintmax_t>(std::llround(static_cast<double>(size) * keep_fraction)));
}

void write_truncated_copy_bytes(const std::filesystem::path& source,
                                const std::filesystem::path& destination,
                                std::uintmax_t keep_bytes) {
    const std::vector<char> bytes = read_whole(source);
    write_whole(destination, bytes.data(),
                static_cast<std::size_t>(std::min<std::uintmax_t>(keep_bytes, bytes.size())));
}

std::uintmax_t write_damaged_copy(const std::filesystem::path& source,
                                  const std::filesystem::path& destination,
                                  std::uintmax_t damaged_bytes, double at_fraction) {
    check_fraction(at_fraction);
    std::vector<char> bytes = read_whole(source);
    const auto start = std::min<std::size_t>(
        bytes.size(), static_cast<std::size_t>(static_cast<double>(bytes.size()) * at_fraction));
    const auto end = start + static_cast<std::size_t>(
                                 std::min<std::uintmax_t>(damaged_bytes, bytes.size() - start));
    // A linear congruential sequence: looks like noise to a decoder, repeats exactly.
    std::uint32_t state = 0x2545F491U;
    for (std::size_t index = start; index < end; ++index) {
        state = state * 1664525U + 1013904223U;
        bytes[index] = static_cast<char>(state >> 24);
    }
    write_whole(destination, bytes.data(), bytes.size());
    return start;
}

void stamp_flv_tag_later(const std::filesystem::path& path, AVMediaType type, double at_seconds,
                         double later_seconds) {
    std::vector<char> bytes = read_whole(path);
    const auto byte = [&](std::size_t at) { return static_cast<std::uint8_t>(bytes[at]); };
    // FLV: a 9-byte header and a 4-byte previous-tag size, then tags of an 11-byte header
    // (type, 24-bit data size, 24-bit milliseconds and their upper 8 bits, stream id), the
    // data and the tag's own 4-byte size.
    const std::uint8_t wanted = type == AVMEDIA_TYPE_AUDIO ? 8 : 9;
    for (std::size_t at = 13; at + 11 <= bytes.size();) {
        const std::uint32_t size = byte(at + 1) << 16 | byte(at + 2) << 8 | byte(at + 3);
        std::uint32_t millis =
            byte(at + 7) << 24 | byte(at + 4) << 16 | byte(at + 5) << 8 | byte(at + 6);
        if ((byte(at) & 0x1f) == wanted && millis >= at_seconds * 1000) {
            millis += static_cast<std::uint32_t>(std::llround(later_seconds * 1000));
            bytes[at + 4] = static_cast<char>(millis >> 16);
            bytes[at + 5] = static_cast<char>(millis >> 8);
            bytes[at + 6] = static_cast<char>(millis);
            bytes[at + 7] = static_cast<char>(millis >> 24);
            write_whole(path, bytes.data(), bytes.size());
            return;
        }
        at += 11 + size + 4;
    }
    throw std::runtime_error("no such FLV tag in " + path.string());
}

} // namespace morvane::test
