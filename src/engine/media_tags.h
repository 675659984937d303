// SPDX-License-Identifier: GPL-3.0-or-later
// What a finished file says about itself for a player's library: its tags, its length, whether
// it is a film, and its cover picture.
#pragma once

#include <cstdint>
#include <string>
#include <variant>

namespace morvane {

struct MediaTags {
    std::string title; // empty when the file has no such tag
    std::string artist;
    std::string album;
    int track_number = 0; // 0 when unknown; "3/12" gives 3
    std::int64_t duration_ms = 0;
    bool has_video = false; // a moving picture, never a cover
    std::string cover_art;  // the attached picture's bytes (JPEG or PNG); empty when none
};

// Reads `path` as MediaInput opens inputs (a plain file, nothing it names). The tags, or why
// the file could not be read, in FFmpeg's words.
std::variant<MediaTags, std::string> read_media_tags(const std::string& path);

} // namespace morvane
