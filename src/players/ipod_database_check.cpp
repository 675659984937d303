// SPDX-License-Identifier: GPL-3.0-or-later
#include "players/ipod_database_check.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace morvane {

namespace {

// What libgpod reads when it opens an iPod: its model, its databases, and what the iPod
// itself noted since (plays, ratings, on-the-go lists).
constexpr const char* read_by_libgpod[] = {
    "iPod_Control/Device/SysInfo",     "iPod_Control/Device/SysInfoExtended",
    "iPod_Control/iTunes/iTunesDB",    "iPod_Control/iTunes/iTunesCDB",
    "iPod_Control/iTunes/Play Counts", "iPod_Control/iTunes/OTGPlaylistInfo",
    "iPod_Control/iTunes/iTunesStats", "iPod_Control/Artwork/ArtworkDB",
};

// A database's first hunk: "mhbd", the header's length, the whole file's length (little
// endian; iPods of other byte order write each field reversed).
constexpr std::size_t header_size = 12;

std::uint32_t little_endian(const unsigned char* bytes) {
    return bytes[0] | bytes[1] << 8 | bytes[2] << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

std::uint32_t big_endian(const unsigned char* bytes) {
    return bytes[3] | bytes[2] << 8 | bytes[1] << 16 | static_cast<std::uint32_t>(bytes[0]) << 24;
}

std::string first_bytes(const unsigned char* bytes, std::size_t count) {
    std::string text;
    for (std::size_t index = 0; index < count; ++index) {
        char pair[4];
        std::snprintf(pair, sizeof pair, index == 0 ? "%02x" : " %02x", bytes[index]);
        text += pair;
    }
    return text;
}

} // namespace

std::optional<std::string> unreadable_database_file(const std::string& root) {
    for (const char* name : read_by_libgpod) {
        struct stat status {};
        if (::stat((root + name).c_str(), &status) == 0 && !S_ISREG(status.st_mode)) {
            return std::string(name) + " is not a regular file";
        }
    }
    return std::nullopt;
}

std::string database_problem(const std::string& root) {
    // Models that keep their database compressed read iTunesCDB instead.
    std::string name = "iPod_Control/iTunes/iTunesCDB";
    struct stat status {};
    const bool compressed = ::stat((root + name).c_str(), &status) == 0;
    if (!compressed) {
        name = "iPod_Control/iTunes/iTunesDB";
        if (::stat((root + name).c_str(), &status) != 0) {
            return name + " is missing";
        }
    }
    const int descriptor = ::open((root + name).c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (descriptor < 0) {
        return "cannot open " + name + ": " + std::strerror(errno);
    }
    unsigned char header[header_size] = {};
    const ssize_t count = ::read(descriptor, header, sizeof header);
    ::close(descriptor);
    const auto size = static_cast<std::uint64_t>(status.st_size);
    if (size == 0) {
        return name + " is empty";
    }
    if (count < static_cast<ssize_t>(header_size)) {
        return name + " holds only " + std::to_string(size) + " bytes, too few for a database";
    }
    const std::string sized = name + " (" + std::to_string(size) + " bytes)";
    const bool reversed = std::memcmp(header, "dbhm", 4) == 0;
    if (!reversed && std::memcmp(header, "mhbd", 4) != 0) {
        return sized + " does not begin as an iTunes database does: its first bytes are " +
               first_bytes(header, 4) + ", not \"mhbd\"";
    }
    const std::uint32_t stated = reversed ? big_endian(header + 8) : little_endian(header + 8);
    if (!compressed && stated > size) {
        return name + " is cut short: its header says " + std::to_string(stated) +
               " bytes, the file holds " + std::to_string(size);
    }
    return {};
}

} // namespace morvane
