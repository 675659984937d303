// SPDX-License-Identifier: GPL-3.0-or-later
// Truncated and corrupted copies of media files.
#include "support/file_damage.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
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

constexpr std::size_t kTsPacketSize = 188;
constexpr std::uint8_t kTsSync = 0x47;
constexpr int kNullPid = 0x1FFF;
// PIDs below this carry tables (PAT, CAT, SDT...), never a PES.
constexpr int kFirstElementaryPid = 0x20;
constexpr std::int64_t kTimestampWrap = std::int64_t{1} << 33;
constexpr double kTimestampHz = 90000.0;

// One 188-byte TS packet as far as the patchers need it.
struct TsPacket {
    std::size_t at = 0; // its offset in the file
    int pid = 0;
    bool unit_start = false; // payload_unit_start_indicator
    // When a PES header with a PTS starts in it: its stream_id and the offsets of the PTS and
    // the DTS (0: none) in the file.
    int stream_id = -1;
    std::size_t pts_at = 0;
    std::size_t dts_at = 0;
};

// The packet at `at`; throws when it does not start with the sync byte.
TsPacket read_ts_packet(const std::vector<char>& bytes, std::size_t at,
                        const std::filesystem::path& path) {
    const auto byte = [&](std::size_t offset) { return static_cast<std::uint8_t>(bytes[offset]); };
    if (byte(at) != kTsSync) {
        throw std::runtime_error("no MPEG-TS packet at byte " + std::to_string(at) + " of " +
                                 path.string());
    }
    TsPacket packet;
    packet.at = at;
    packet.pid = (byte(at + 1) & 0x1F) << 8 | byte(at + 2);
    packet.unit_start = (byte(at + 1) & 0x40) != 0;
    const int adaptation_field_control = (byte(at + 3) >> 4) & 0x3;
    if (!packet.unit_start || !(adaptation_field_control & 0x1) ||
        packet.pid < kFirstElementaryPid || packet.pid == kNullPid) {
        return packet;
    }
    // The payload follows the adaptation field, when there is one; a PES starts right there.
    std::size_t payload = at + 4;
    if (adaptation_field_control & 0x2) {
        payload += 1 + byte(at + 4);
    }
    const std::size_t end = at + kTsPacketSize;
    // Start code, stream_id, length, the '10' flags byte, PTS_DTS_flags, header length.
    if (payload + 9 > end || byte(payload) != 0 || byte(payload + 1) != 0 ||
        byte(payload + 2) != 1 || (byte(payload + 6) & 0xC0) != 0x80) {
        return packet;
    }
    const int timestamps = byte(payload + 7) >> 6;
    if (timestamps < 2 || payload + 9 + (timestamps == 3 ? 10 : 5) > end) {
        return packet;
    }
    packet.stream_id = byte(payload + 3);
    packet.pts_at = payload + 9;
    packet.dts_at = timestamps == 3 ? payload + 14 : 0;
    return packet;
}

// Every whole packet of the file in turn (a cut last packet is left alone).
template <typename Visit>
void each_ts_packet(const std::vector<char>& bytes, const std::filesystem::path& path,
                    Visit visit) {
    for (std::size_t at = 0; at + kTsPacketSize <= bytes.size(); at += kTsPacketSize) {
        visit(read_ts_packet(bytes, at, path));
    }
}

void check_pes_type(AVMediaType type) {
    if (type != AVMEDIA_TYPE_VIDEO && type != AVMEDIA_TYPE_AUDIO) {
        throw std::invalid_argument("a PES carries video or audio");
    }
}

bool is_of_type(int stream_id, AVMediaType type) {
    if (type == AVMEDIA_TYPE_VIDEO) {
        return stream_id >= 0xE0 && stream_id <= 0xEF;
    }
    if (type == AVMEDIA_TYPE_AUDIO) {
        return (stream_id >= 0xC0 && stream_id <= 0xDF) || stream_id == 0xBD;
    }
    return false;
}

// A 33-bit PTS or DTS: a 4-bit prefix, then 3, 15 and 15 bits each followed by a marker bit.
std::int64_t read_timestamp(const std::vector<char>& bytes, std::size_t at) {
    const auto byte = [&](std::size_t offset) {
        return std::int64_t{static_cast<std::uint8_t>(bytes[at + offset])};
    };
    return (byte(0) >> 1 & 0x07) << 30 | byte(1) << 22 | (byte(2) >> 1) << 15 | byte(3) << 7 |
           byte(4) >> 1;
}

void write_timestamp(std::vector<char>& bytes, std::size_t at, std::int64_t value) {
    const auto keep = [&](std::size_t offset, std::uint8_t mask) {
        return static_cast<std::uint8_t>(bytes[at + offset]) & mask;
    };
    bytes[at] = static_cast<char>(keep(0, 0xF1) | (value >> 29 & 0x0E));
    bytes[at + 1] = static_cast<char>(value >> 22 & 0xFF);
    bytes[at + 2] = static_cast<char>(keep(2, 0x01) | (value >> 14 & 0xFE));
    bytes[at + 3] = static_cast<char>(value >> 7 & 0xFF);
    bytes[at + 4] = static_cast<char>(keep(4, 0x01) | (value << 1 & 0xFE));
}

// `pts` after `first`, in 90 kHz ticks, across a wrap of the 33-bit clock; negative when it
// lies before.
std::int64_t ticks_after(std::int64_t pts, std::int64_t first) {
    const std::int64_t ticks = ((pts - first) % kTimestampWrap + kTimestampWrap) % kTimestampWrap;
    return ticks >= kTimestampWrap / 2 ? ticks - kTimestampWrap : ticks;
}

std::int64_t to_ticks(double seconds) {
    return std::llround(seconds * kTimestampHz);
}

// The PTS of the first PES in the file that has one.
std::int64_t first_pts(const std::vector<char>& bytes, const std::filesystem::path& path) {
    std::int64_t first = -1;
    each_ts_packet(bytes, path, [&](const TsPacket& packet) {
        if (first < 0 && packet.pts_at != 0) {
            first = read_timestamp(bytes, packet.pts_at);
        }
    });
    if (first < 0) {
        throw std::runtime_error("no PES with a PTS in " + path.string());
    }
    return first;
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

void join_files(const std::vector<std::filesystem::path>& parts,
                const std::filesystem::path& destination) {
    std::error_code error;
    for (const auto& part : parts) {
        if (std::filesystem::equivalent(part, destination, error)) {
            throw std::runtime_error("cannot join " + part.string() + " onto itself");
        }
    }
    std::ofstream out(destination, std::ios::binary | std::ios::trunc);
    if (!out) {
        throw std::runtime_error("cannot write " + destination.string());
    }
    for (const auto& part : parts) {
        std::ifstream in(part, std::ios::binary);
        if (!in) {
            throw std::runtime_error("cannot read " + part.string());
        }
        // An empty part writes nothing, which the stream would take for a failure.
        if (in.peek() != std::ifstream::traits_type::eof()) {
            out << in.rdbuf();
        }
        if (in.bad()) {
            throw std::runtime_error("cannot read " + part.string());
        }
    }
    out.close();
    if (!out) {
        throw std::runtime_error("cannot write " + destination.string());
    }
}

void stamp_ts_pes_later(const std::filesystem::path& path, AVMediaType type, double at_seconds,
                        double later_seconds) {
    check_pes_type(type);
    std::vector<char> bytes = read_whole(path);
    const std::int64_t first = first_pts(bytes, path);
    const std::int64_t from = to_ticks(at_seconds);
    const std::int64_t later = to_ticks(later_seconds);
    bool stamped = false;
    each_ts_packet(bytes, path, [&](const TsPacket& packet) {
        if (stamped || packet.pts_at == 0 || !is_of_type(packet.stream_id, type)) {
            return;
        }
        const std::int64_t pts = read_timestamp(bytes, packet.pts_at);
        if (ticks_after(pts, first) < from) {
            return;
        }
        for (const std::size_t at : {packet.pts_at, packet.dts_at}) {
            if (at != 0) {
                const std::int64_t moved = read_timestamp(bytes, at) + later;
                write_timestamp(bytes, at,
                                (moved % kTimestampWrap + kTimestampWrap) % kTimestampWrap);
            }
        }
        stamped = true;
    });
    if (!stamped) {
        throw std::runtime_error(std::string("no ") + av_get_media_type_string(type) +
                                 " PES at or after " + std::to_string(at_seconds) + " s in " +
                                 path.string());
    }
    write_whole(path, bytes.data(), bytes.size());
}

void drop_ts_stream(const std::filesystem::path& path, AVMediaType type, double from_seconds,
                    double to_seconds) {
    check_pes_type(type);
    std::vector<char> bytes = read_whole(path);
    const std::int64_t first = first_pts(bytes, path);
    const std::int64_t from = to_ticks(from_seconds);
    const std::int64_t to = to_ticks(to_seconds);
    // Whether the PES each PID carries now is dropped, from its start to the next start.
    std::map<int, bool> dropping;
    std::size_t dropped = 0;
    each_ts_packet(bytes, path, [&](const TsPacket& packet) {
        if (packet.unit_start) {
            bool drop = false;
            if (packet.pts_at != 0 && is_of_type(packet.stream_id, type)) {
                const std::int64_t after = ticks_after(read_timestamp(bytes, packet.pts_at), first);
                drop = after >= from && after < to;
            }
            dropping[packet.pid] = drop;
        }
        const auto found = dropping.find(packet.pid);
        if (found == dropping.end() || !found->second) {
            return;
        }
        // A null packet: payload only, filled with stuffing.
        char* null_packet = bytes.data() + packet.at;
        std::memset(null_packet, 0xFF, kTsPacketSize);
        null_packet[0] = static_cast<char>(kTsSync);
        null_packet[1] = static_cast<char>(kNullPid >> 8);
        null_packet[2] = static_cast<char>(kNullPid & 0xFF);
        null_packet[3] = 0x10;
        ++dropped;
    });
    if (dropped == 0) {
        throw std::runtime_error(std::string("no ") + av_get_media_type_string(type) +
                                 " PES between " + std::to_string(from_seconds) + " s and " +
                                 std::to_string(to_seconds) + " s in " + path.string());
    }
    write_whole(path, bytes.data(), bytes.size());
}

} // namespace morvane::test
