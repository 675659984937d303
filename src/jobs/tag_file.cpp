// SPDX-License-Identifier: GPL-3.0-or-later
#include "jobs/tag_file.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <sys/stat.h>
#include <taglib/fileref.h>
#include <taglib/id3v2framefactory.h>
#include <taglib/id3v2tag.h>
#include <taglib/mp4file.h>
#include <taglib/mp4tag.h>
#include <taglib/mpegfile.h>
#include <taglib/tfilestream.h>
#include <taglib/tpropertymap.h>
#include <unistd.h>

namespace morvane {

namespace {

constexpr const char* own_prefix = "MORVANE_";
constexpr const char* own_atom_domain = "----:org.morvane:";
// Where music libraries keep, in an MP4, what has no atom of its own (ReplayGain, say).
constexpr const char* common_atom_domain = "----:com.apple.iTunes:";

// TagLib fills some of its tables on first use without a lock (ID3v2's map of involved
// people, for one), so converters writing tags at the same time could fill one twice and
// tear it. Every use of TagLib goes through this one lock: a file's tags take milliseconds.
std::mutex& taglib_lock() {
    static std::mutex lock;
    return lock;
}

TagLib::String from_utf8(const std::string& text) {
    return TagLib::String(text, TagLib::String::UTF8);
}

std::string to_utf8(const TagLib::String& text) {
    return text.to8Bit(true);
}

// A stream over a regular file, or nothing (with errno) for anything else. The stream owns
// the descriptor.
std::unique_ptr<TagLib::FileStream> open_stream(const std::string& path, bool for_writing) {
    const int descriptor =
        ::open(path.c_str(), (for_writing ? O_RDWR : O_RDONLY) | O_CLOEXEC | O_NONBLOCK);
    if (descriptor < 0) {
        return nullptr;
    }
    struct stat status {};
    if (::fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(descriptor);
        errno = EINVAL;
        return nullptr;
    }
    auto stream = std::make_unique<TagLib::FileStream>(descriptor, !for_writing);
    if (!stream->isOpen()) {
        return nullptr;
    }
    return stream;
}

void split_properties(const TagLib::PropertyMap& map, FileTags& tags) {
    for (const auto& [key, values] : map) {
        const std::string name = to_utf8(key);
        if (name.rfind(own_prefix, 0) == 0) {
            if (!values.isEmpty()) {
                tags.own[name] = to_utf8(values.front());
            }
            continue;
        }
        std::vector<std::string>& list = tags.properties[name];
        for (const TagLib::String& value : values) {
            list.push_back(to_utf8(value));
        }
    }
}

TagLib::PropertyMap property_map(const TrackTags& properties) {
    TagLib::PropertyMap map;
    for (const auto& [key, values] : properties) {
        TagLib::StringList list;
        for (const std::string& value : values) {
            list.append(from_utf8(value));
        }
        map.insert(from_utf8(key), list);
    }
    return map;
}

} // namespace

std::optional<FileTags> read_file_tags(const std::string& path) {
    const std::lock_guard lock(taglib_lock());
    const std::unique_ptr<TagLib::FileStream> stream = open_stream(path, false);
    if (!stream) {
        return std::nullopt;
    }
    // The kind of file is told by its content: the stream has no name to go by.
    const TagLib::FileRef file(stream.get(), false);
    if (file.isNull() || !file.file()->isValid()) {
        return std::nullopt;
    }
    FileTags tags;
    split_properties(file.file()->properties(), tags);
    if (const auto* mp4 = dynamic_cast<const TagLib::MP4::File*>(file.file());
        mp4 != nullptr && mp4->hasMP4Tag()) {
        for (const auto& [key, item] : mp4->tag()->itemMap()) {
            const std::string name = to_utf8(key);
            const TagLib::StringList values = item.toStringList();
            if (values.isEmpty()) {
                continue;
            }
            const std::string own_domain = own_atom_domain;
            const std::string common_domain = common_atom_domain;
            if (name.rfind(own_domain, 0) == 0) {
                tags.own[name.substr(own_domain.size())] = to_utf8(values.front());
            } else if (name.rfind(common_domain, 0) == 0) {
                std::vector<std::string>& list = tags.properties[name.substr(common_domain.size())];
                if (list.empty()) {
                    for (const TagLib::String& value : values) {
                        list.push_back(to_utf8(value));
                    }
                }
            }
        }
    }
    return tags;
}

std::optional<std::string> write_file_tags(const std::string& path, const TrackTags& properties,
                                           const std::map<std::string, std::string>& own) {
    const std::lock_guard lock(taglib_lock());
    const std::unique_ptr<TagLib::FileStream> stream = open_stream(path, true);
    if (!stream) {
        return std::string(std::strerror(errno));
    }
    const TagLib::ByteVector start = stream->readBlock(8);
    stream->seek(0);
    TagLib::PropertyMap map = property_map(properties);
    if (start.size() == 8 && start.mid(4, 4) == "ftyp") {
        TagLib::MP4::File file(stream.get(), false);
        if (!file.isValid()) {
            return std::string("the MP4 cannot be read back to tag it");
        }
        // What has no atom of its own comes back from the property map; it goes into a
        // free-form atom of the common domain.
        const TagLib::PropertyMap left_over = file.setProperties(map);
        TagLib::MP4::Tag& tag = *file.tag();
        TagLib::StringList earlier;
        for (const auto& [key, item] : tag.itemMap()) {
            if (to_utf8(key).rfind(own_atom_domain, 0) == 0) {
                earlier.append(key);
            }
        }
        for (const auto& [key, values] : left_over) {
            tag.setItem(from_utf8(common_atom_domain) + key, values);
        }
        for (const TagLib::String& key : earlier) {
            tag.removeItem(key);
        }
        for (const auto& [key, value] : own) {
            tag.setItem(from_utf8(own_atom_domain + key), TagLib::StringList(from_utf8(value)));
        }
        if (!file.save()) {
            return std::string("cannot write the MP4's tags");
        }
        return std::nullopt;
    }
    TagLib::MPEG::File file(stream.get(), TagLib::ID3v2::FrameFactory::instance(), false);
    if (!file.isValid()) {
        return std::string("the MP3 cannot be read back to tag it");
    }
    // Own entries are TXXX frames, which the property map writes for names it does not know.
    for (const auto& [key, value] : own) {
        map.insert(from_utf8(key), TagLib::StringList(from_utf8(value)));
    }
    file.ID3v2Tag(true)->setProperties(map);
    if (!file.save(TagLib::MPEG::File::ID3v2, TagLib::File::StripOthers, TagLib::ID3v2::v4)) {
        return std::string("cannot write the MP3's tags");
    }
    return std::nullopt;
}

} // namespace morvane
