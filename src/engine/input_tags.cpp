// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/input_tags.h"

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/dict.h>
}

namespace morvane {

namespace {

void add_from(TagEntries& entries, const AVDictionary* dictionary) {
    const AVDictionaryEntry* entry = nullptr;
    while ((entry = av_dict_get(dictionary, "", entry, AV_DICT_IGNORE_SUFFIX)) != nullptr) {
        if (entry->key != nullptr && entry->value != nullptr) {
            entries.emplace_back(entry->key, entry->value);
        }
    }
}

} // namespace

TagEntries input_tags(const MediaInput& input) {
    TagEntries entries;
    add_from(entries, input.container().metadata);
    if (const int sound = input.streams().audio; sound >= 0) {
        add_from(entries, input.container().streams[sound]->metadata);
    }
    return entries;
}

} // namespace morvane
