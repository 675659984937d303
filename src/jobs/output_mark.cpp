// SPDX-License-Identifier: GPL-3.0-or-later
#include "jobs/output_mark.h"

#include "engine/ffmpeg_ptr.h"
#include "engine/media_input.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace morvane {

namespace {

constexpr const char* source_key = "MORVANE_SOURCE";
constexpr const char* complete_key = "MORVANE_COMPLETE";
// The free-form atoms' domain, as iTunes' own are "com.apple.iTunes".
constexpr const char* atom_domain = "org.morvane";
// Tags and boxes larger than this are not ours to rewrite.
constexpr std::size_t largest_read = 64 << 20;

class OpenFile {
public:
    explicit OpenFile(const std::string& path)
        : descriptor_(::open(path.c_str(), O_RDWR | O_CLOEXEC)) {}
    ~OpenFile() {
        if (descriptor_ >= 0) {
            ::close(descriptor_);
        }
    }
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;

    bool is_open() const { return descriptor_ >= 0; }
    bool read(std::int64_t offset, void* into, std::size_t count) const {
        auto* bytes = static_cast<unsigned char*>(into);
        while (count > 0) {
            const ssize_t got = ::pread(descriptor_, bytes, count, offset);
            if (got <= 0) {
                return false;
            }
            bytes += got;
            offset += got;
            count -= static_cast<std::size_t>(got);
        }
        return true;
    }
    bool write(std::int64_t offset, const void* from, std::size_t count) const {
        const auto* bytes = static_cast<const unsigned char*>(from);
        while (count > 0) {
            const ssize_t put = ::pwrite(descriptor_, bytes, count, offset);
            if (put <= 0) {
                return false;
            }
            bytes += put;
            offset += put;
            count -= static_cast<std::size_t>(put);
        }
        return true;
    }
    std::int64_t size() const {
        struct stat status {};
        return ::fstat(descriptor_, &status) == 0 ? status.st_size : -1;
    }

private:
    int descriptor_;
};

std::uint32_t big_endian32(const unsigned char* bytes) {
    return std::uint32_t{bytes[0]} << 24 | std::uint32_t{bytes[1]} << 16 |
           std::uint32_t{bytes[2]} << 8 | bytes[3];
}

void put_big_endian32(unsigned char* bytes, std::uint32_t value) {
    bytes[0] = static_cast<unsigned char>(value >> 24);
    bytes[1] = static_cast<unsigned char>(value >> 16);
    bytes[2] = static_cast<unsigned char>(value >> 8);
    bytes[3] = static_cast<unsigned char>(value);
}

// MP3: the ID3v2 tag at the start holds the TXXX frame "MORVANE_COMPLETE" with the value "0",
// written by the muxer; "1" takes its place.
std::optional<std::string> mark_id3_complete(const OpenFile& file) {
    unsigned char header[10];
    if (!file.read(0, header, sizeof header) || std::memcmp(header, "ID3", 3) != 0) {
        return "no ID3 tag to mark";
    }
    // The tag's size in 7-bit bytes, without its header.
    const std::size_t size = std::size_t{header[6]} << 21 | std::size_t{header[7]} << 14 |
                             std::size_t{header[8]} << 7 | header[9];
    if (size > largest_read) {
        return "the ID3 tag is too large to mark";
    }
    std::string tag(size, '\0');
    if (!file.read(10, tag.data(), size)) {
        return "cannot read the ID3 tag";
    }
    const std::string frame = std::string(complete_key) + '\0' + '0';
    const std::size_t at = tag.find(frame);
    if (at == std::string::npos) {
        return "no mark in the ID3 tag";
    }
    const char complete = '1';
    if (!file.write(static_cast<std::int64_t>(10 + at + frame.size() - 1), &complete, 1)) {
        return std::string(std::strerror(errno));
    }
    return std::nullopt;
}

// A box of an MP4 file held in memory: where its header starts, where its children start
// and where it ends.
struct Box {
    std::size_t start = 0, children = 0, end = 0;
};

// The child of `type` among the boxes between `from` and `to`.
std::optional<Box> find_box(const std::vector<unsigned char>& bytes, std::size_t from,
                            std::size_t to, const char* type) {
    while (from + 8 <= to) {
        const std::size_t size = big_endian32(&bytes[from]);
        if (size < 8 || from + size > to) {
            return std::nullopt; // 64-bit sizes and damage: not ours to rewrite
        }
        if (std::memcmp(&bytes[from + 4], type, 4) == 0) {
            // "meta" is a full box: four bytes of version and flags before its children.
            const std::size_t header = std::strcmp(type, "meta") == 0 ? 12 : 8;
            return Box{from, from + header, from + size};
        }
        from += size;
    }
    return std::nullopt;
}

std::string atom(const char* type, const std::string& payload) {
    unsigned char size[4];
    put_big_endian32(size, static_cast<std::uint32_t>(8 + payload.size()));
    return std::string(reinterpret_cast<const char*>(size), 4) + std::string(type, 4) + payload;
}

// An iTunes free-form atom: "----" holding its domain ("mean"), its name and its text.
std::string free_form_atom(const char* name, const std::string& value) {
    const std::string no_flags(4, '\0');
    const std::string utf8_text = std::string("\0\0\0\1", 4) + std::string(4, '\0');
    return atom("----", atom("mean", no_flags + atom_domain) + atom("name", no_flags + name) +
                            atom("data", utf8_text + value));
}

// MP4: the muxer writes "moov", with the tag list in moov/udta/meta/ilst, as the file's last
// box; the mark is added to that list and the box written back in place, one atom longer.
std::optional<std::string> add_mp4_mark(const OpenFile& file, const std::string& source,
                                        bool complete) {
    const std::int64_t file_size = file.size();
    std::int64_t offset = 0;
    unsigned char header[8];
    while (offset + 8 <= file_size && file.read(offset, header, sizeof header)) {
        const std::int64_t size = big_endian32(header);
        if (size < 8 || offset + size > file_size) {
            break;
        }
        if (std::memcmp(header + 4, "moov", 4) == 0) {
            if (offset + size != file_size || static_cast<std::size_t>(size) > largest_read) {
                return "the MP4's tags are not where they can be marked";
            }
            std::vector<unsigned char> moov(static_cast<std::size_t>(size));
            if (!file.read(offset, moov.data(), moov.size())) {
                return "cannot read the MP4's tags";
            }
            const auto udta = find_box(moov, 8, moov.size(), "udta");
            const auto meta =
                udta ? find_box(moov, udta->children, udta->end, "meta") : std::nullopt;
            const auto ilst =
                meta ? find_box(moov, meta->children, meta->end, "ilst") : std::nullopt;
            if (!ilst) {
                return "the MP4 has no tag list to mark";
            }
            const std::string added = free_form_atom(source_key, source) +
                                      free_form_atom(complete_key, complete ? "1" : "0");
            for (const std::size_t start :
                 {std::size_t{0}, udta->start, meta->start, ilst->start}) {
                put_big_endian32(&moov[start], static_cast<std::uint32_t>(
                                                   big_endian32(&moov[start]) + added.size()));
            }
            moov.insert(moov.begin() + static_cast<std::ptrdiff_t>(ilst->end), added.begin(),
                        added.end());
            if (!file.write(offset, moov.data(), moov.size())) {
                return std::string(std::strerror(errno));
            }
            return std::nullopt;
        }
        offset += size;
    }
    return "no MP4 tags to mark";
}

} // namespace

std::vector<std::pair<std::string, std::string>> output_mark_tags(const std::string& source) {
    return {{source_key, source}, {complete_key, "0"}};
}

std::optional<std::string> finish_output_mark(const std::string& path, const std::string& source,
                                              bool complete) {
    const OpenFile file(path);
    if (!file.is_open()) {
        return std::string(std::strerror(errno));
    }
    unsigned char start[8];
    if (!file.read(0, start, sizeof start)) {
        return "the output is empty";
    }
    if (std::memcmp(start, "ID3", 3) == 0) {
        return complete ? mark_id3_complete(file) : std::nullopt;
    }
    return add_mp4_mark(file, source, complete);
}

std::optional<OutputMark> read_output_mark(const std::string& path) {
    // Whatever stands in the output folder is read with an input's guards.
    MediaInput file;
    if (file.open(path, MediaInput::Reading::header)) {
        return std::nullopt;
    }
    const AVFormatContext& container = file.container();
    const AVDictionaryEntry* source = av_dict_get(container.metadata, source_key, nullptr, 0);
    const AVDictionaryEntry* complete = av_dict_get(container.metadata, complete_key, nullptr, 0);
    if (source == nullptr || complete == nullptr) {
        return std::nullopt;
    }
    return OutputMark{source->value, std::strcmp(complete->value, "1") == 0};
}

} // namespace morvane
