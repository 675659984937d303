// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/media_tags.h"

#include "engine/media_input.h"

#include <cmath>
#include <cstdlib>

extern "C" {
#include <libavformat/avformat.h>
}

namespace morvane {

namespace {

std::string tag(const AVFormatContext& container, const char* key) {
    const AVDictionaryEntry* entry = av_dict_get(container.metadata, key, nullptr, 0);
    return entry != nullptr && entry->value != nullptr ? entry->value : "";
}

int leading_number(const std::string& text) {
    // strtol stops at the "/" of "3/12"; a number too large for a track is no track number.
    const long number = std::strtol(text.c_str(), nullptr, 10);
    return number > 0 && number < 100000 ? static_cast<int>(number) : 0;
}

} // namespace

std::variant<MediaTags, std::string> read_media_tags(const std::string& path) {
    MediaInput input;
    if (const auto problem = input.open(path)) {
        return *problem;
    }
    const AVFormatContext& container = input.container();
    MediaTags tags;
    tags.title = tag(container, "title");
    tags.artist = tag(container, "artist");
    tags.album = tag(container, "album");
    tags.track_number = leading_number(tag(container, "track"));
    const double seconds = input.duration_seconds();
    tags.duration_ms = std::isfinite(seconds) && seconds > 0 ? std::llround(seconds * 1000.0) : 0;
    tags.has_video = input.streams().video >= 0;
    if (const int cover = input.streams().cover_art; cover >= 0) {
        const AVPacket& picture = container.streams[cover]->attached_pic;
        if (picture.data != nullptr && picture.size > 0) {
            tags.cover_art.assign(reinterpret_cast<const char*>(picture.data),
                                  static_cast<std::size_t>(picture.size));
        }
    }
    return tags;
}

} // namespace morvane
