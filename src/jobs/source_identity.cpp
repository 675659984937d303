// SPDX-License-Identifier: GPL-3.0-or-later
#include "jobs/source_identity.h"

#include "engine/murmur3_hash.h"

#include <algorithm>
#include <array>
#include <cinttypes>
#include <cstdio>
#include <fcntl.h>
#include <functional>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace morvane {

namespace {

constexpr std::int64_t hashed_span = 1 << 20;
constexpr std::size_t read_block = 64 * 1024;

// Reads the first and the last megabyte (once, where they overlap) and hands each block to
// `take`. False when a read fails.
bool read_ends(int descriptor, std::int64_t size,
               const std::function<void(const unsigned char*, std::size_t)>& take) {
    std::vector<unsigned char> buffer(read_block);
    const auto read_span = [&](std::int64_t offset, std::int64_t length) {
        while (length > 0) {
            const auto wanted = static_cast<std::size_t>(
                std::min<std::int64_t>(length, static_cast<std::int64_t>(buffer.size())));
            const ssize_t got = ::pread(descriptor, buffer.data(), wanted, offset);
            if (got <= 0) {
                return false;
            }
            take(buffer.data(), static_cast<std::size_t>(got));
            offset += got;
            length -= got;
        }
        return true;
    };
    const std::int64_t head = std::min(size, hashed_span);
    const std::int64_t tail_start = std::max(head, size - hashed_span);
    return read_span(0, head) && read_span(tail_start, size - tail_start);
}

// A regular file, opened for reading without waiting on what is not one.
int open_regular(const std::string& path, struct stat& status) {
    const int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (descriptor >= 0 && (::fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode))) {
        ::close(descriptor);
        return -1;
    }
    return descriptor;
}

} // namespace

std::optional<SourceIdentity> SourceIdentity::of(const std::string& path) {
    struct stat status {};
    const int descriptor = open_regular(path, status);
    if (descriptor < 0) {
        return std::nullopt;
    }
    // A rerun over a whole library costs little more than reading two megabytes of each song.
    Murmur3Hash hash;
    const bool read = read_ends(
        descriptor, status.st_size,
        [&hash](const unsigned char* bytes, std::size_t count) { hash.add(bytes, count); });
    ::close(descriptor);
    const std::optional<std::array<std::uint8_t, 16>> digest = hash.finish();
    if (!read || !digest) {
        return std::nullopt;
    }
    std::string text = "2 " + std::to_string(status.st_size) + " ";
    for (const unsigned char byte : *digest) {
        char pair[3];
        std::snprintf(pair, sizeof pair, "%02x", byte);
        text += pair;
    }
    return SourceIdentity(path, status.st_size, std::move(text));
}

bool SourceIdentity::is(const std::string& recorded) const {
    if (recorded == text_) {
        return true;
    }
    // "1 <size> <seconds>.<nanoseconds> <FNV-1a of the same two megabytes>"
    std::istringstream fields(recorded);
    std::string version, modified, hash;
    std::int64_t size = -1;
    if (!(fields >> version >> size >> modified >> hash) || version != "1" || size != size_) {
        return false;
    }
    if (!earlier_hash_) {
        struct stat status {};
        const int descriptor = open_regular(path_, status);
        std::uint64_t value = 0xcbf29ce484222325ULL;
        const bool read =
            descriptor >= 0 && read_ends(descriptor, status.st_size,
                                         [&value](const unsigned char* bytes, std::size_t count) {
                                             for (std::size_t at = 0; at < count; ++at) {
                                                 value = (value ^ bytes[at]) * 0x100000001b3ULL;
                                             }
                                         });
        if (descriptor >= 0) {
            ::close(descriptor);
        }
        char text[17];
        std::snprintf(text, sizeof text, "%016" PRIx64, value);
        earlier_hash_ = read ? std::string(text) : std::string();
    }
    return !earlier_hash_->empty() && *earlier_hash_ == hash;
}

} // namespace morvane
