// SPDX-License-Identifier: GPL-3.0-or-later
#include "jobs/track_tags.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <string_view>

namespace morvane {

namespace {

std::string upper(std::string_view text) {
    std::string result(text);
    for (char& c : result) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return result;
}

// The names FFmpeg's demuxers give (ID3v2, MP4, Vorbis comments, ASF, Matroska, APE), in
// upper case, and the shared property each means.
constexpr std::pair<std::string_view, std::string_view> ffmpeg_names[] = {
    {"TITLE", "TITLE"},
    {"ARTIST", "ARTIST"},
    {"ALBUM", "ALBUM"},
    {"ALBUM_ARTIST", "ALBUMARTIST"},
    {"ALBUMARTIST", "ALBUMARTIST"},
    {"ALBUM ARTIST", "ALBUMARTIST"},
    {"COMPOSER", "COMPOSER"},
    {"GENRE", "GENRE"},
    {"DATE", "DATE"},
    {"YEAR", "DATE"},
    {"DATE_RELEASED", "DATE"},
    {"TRACK", "TRACKNUMBER"},
    {"TRACKNUMBER", "TRACKNUMBER"},
    {"PART_NUMBER", "TRACKNUMBER"},
    {"DISC", "DISCNUMBER"},
    {"DISCNUMBER", "DISCNUMBER"},
    {"TRACKTOTAL", "TRACKTOTAL"},
    {"TOTALTRACKS", "TRACKTOTAL"},
    {"DISCTOTAL", "DISCTOTAL"},
    {"TOTALDISCS", "DISCTOTAL"},
    {"COMPILATION", "COMPILATION"},
    {"LYRICS", "LYRICS"},
    {"UNSYNCEDLYRICS", "LYRICS"},
    {"COMMENT", "COMMENT"},
    {"DESCRIPTION", "COMMENT"},
    {"TITLE-SORT", "TITLESORT"},
    {"TITLESORT", "TITLESORT"},
    {"SORT_NAME", "TITLESORT"},
    {"ARTIST-SORT", "ARTISTSORT"},
    {"ARTISTSORT", "ARTISTSORT"},
    {"SORT_ARTIST", "ARTISTSORT"},
    {"ALBUM-SORT", "ALBUMSORT"},
    {"ALBUMSORT", "ALBUMSORT"},
    {"SORT_ALBUM", "ALBUMSORT"},
    {"ALBUM_ARTIST-SORT", "ALBUMARTISTSORT"},
    {"ALBUMARTISTSORT", "ALBUMARTISTSORT"},
    {"SORT_ALBUM_ARTIST", "ALBUMARTISTSORT"},
    {"TSO2", "ALBUMARTISTSORT"},
    {"COMPOSER-SORT", "COMPOSERSORT"},
    {"COMPOSERSORT", "COMPOSERSORT"},
    {"SORT_COMPOSER", "COMPOSERSORT"},
    {"TSOC", "COMPOSERSORT"},
    {"REPLAYGAIN_TRACK_GAIN", "REPLAYGAIN_TRACK_GAIN"},
    {"REPLAYGAIN_TRACK_PEAK", "REPLAYGAIN_TRACK_PEAK"},
    {"REPLAYGAIN_ALBUM_GAIN", "REPLAYGAIN_ALBUM_GAIN"},
    {"REPLAYGAIN_ALBUM_PEAK", "REPLAYGAIN_ALBUM_PEAK"},
};

// What an output carries, beside the totals folded into their numbers.
constexpr std::string_view carried_names[] = {
    "TITLE",
    "ARTIST",
    "ALBUM",
    "ALBUMARTIST",
    "COMPOSER",
    "GENRE",
    "DATE",
    "TRACKNUMBER",
    "DISCNUMBER",
    "COMPILATION",
    "LYRICS",
    "COMMENT",
    "TITLESORT",
    "ARTISTSORT",
    "ALBUMSORT",
    "ALBUMARTISTSORT",
    "COMPOSERSORT",
    "REPLAYGAIN_TRACK_GAIN",
    "REPLAYGAIN_TRACK_PEAK",
    "REPLAYGAIN_ALBUM_GAIN",
    "REPLAYGAIN_ALBUM_PEAK",
};

// "3" with a total of "12" gives "3/12"; a number that has its total keeps it.
std::string with_total(const std::string& number, const std::string& total) {
    if (number.empty() || total.empty() || number.find('/') != std::string::npos) {
        return number;
    }
    return number + "/" + total;
}

} // namespace

TrackTags tags_from_ffmpeg(const std::vector<std::pair<std::string, std::string>>& entries) {
    TrackTags tags;
    for (const auto& [name, value] : entries) {
        std::string key = upper(name);
        // ID3v2 lyrics come as "lyrics-<language>".
        if (key.rfind("LYRICS-", 0) == 0) {
            key = "LYRICS";
        }
        const auto known =
            std::find_if(std::begin(ffmpeg_names), std::end(ffmpeg_names),
                         [&](const auto& known_name) { return known_name.first == key; });
        if (known != std::end(ffmpeg_names)) {
            std::vector<std::string>& values = tags[std::string(known->second)];
            if (values.empty()) { // the first wins: the container's over the stream's
                values.push_back(value);
            }
        }
    }
    return tags;
}

TrackTags carried_tags(const TrackTags& read) {
    TrackTags carried;
    for (const std::string_view name : carried_names) {
        const auto found = read.find(std::string(name));
        if (found == read.end()) {
            continue;
        }
        std::vector<std::string> values;
        for (const std::string& value : found->second) {
            if (!value.empty()) {
                values.push_back(value);
            }
        }
        if (!values.empty()) {
            carried.emplace(name, std::move(values));
        }
    }
    for (const auto& [number, total] :
         {std::pair{"TRACKNUMBER", "TRACKTOTAL"}, std::pair{"DISCNUMBER", "DISCTOTAL"}}) {
        const std::string folded = with_total(first_tag(read, number), first_tag(read, total));
        if (!folded.empty()) {
            carried[number] = {folded};
        }
    }
    return carried;
}

TrackTags merged_tags(TrackTags base, const TrackTags& over) {
    for (const auto& [key, values] : over) {
        base[key] = values;
    }
    return base;
}

std::string first_tag(const TrackTags& tags, const std::string& key) {
    const auto found = tags.find(key);
    return found == tags.end() || found->second.empty() ? std::string() : found->second.front();
}

} // namespace morvane
