// SPDX-License-Identifier: GPL-3.0-or-later
// What describes a song or a film for a player's library, under the property names music
// libraries share ("TITLE", "ALBUMARTIST", "TRACKNUMBER" as "3/12", "COMPILATION" as "1",
// "ARTISTSORT", "LYRICS", ...), whatever format the tags came from.
#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

namespace morvane {

using TrackTags = std::map<std::string, std::vector<std::string>>;

// The tags FFmpeg read from a container and its sound stream (see input_tags.h), under the
// shared names; where several give one property, the first counts. Keys FFmpeg names
// differently per format ("album_artist", "album-sort", "sort_album", "TSO2", "TRACKTOTAL")
// all land on one.
TrackTags tags_from_ffmpeg(const std::vector<std::pair<std::string, std::string>>& entries);

// Of `read`, what an output carries: the properties a player's library shows (titles,
// names, numbers, sort names, lyrics, loudness), totals folded into their numbers ("3" and
// a TRACKTOTAL of "12" become "3/12"), empty values left out.
TrackTags carried_tags(const TrackTags& read);

// `over`'s values replace `base`'s, property by property.
TrackTags merged_tags(TrackTags base, const TrackTags& over);

// The first value of `key`, or "".
std::string first_tag(const TrackTags& tags, const std::string& key);

} // namespace morvane
