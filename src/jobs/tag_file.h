// SPDX-License-Identifier: GPL-3.0-or-later
// Reading and writing the tags of a file with TagLib, the library music players read them
// with: every song format for reading; MP3 (ID3v2.4) and MP4 (iTunes atoms) for the outputs,
// which get the whole set at once, in place, with no atom patched by hand.
//
// Files are opened as inputs are: a regular file only, so a FIFO or a device named like a
// song never blocks.
#pragma once

#include "jobs/track_tags.h"

#include <map>
#include <optional>
#include <string>

namespace morvane {

struct FileTags {
    TrackTags properties;
    // Morvane's own entries ("MORVANE_SOURCE" → "2 …"): an ID3 TXXX frame each, or an MP4
    // free-form atom of the domain "org.morvane".
    std::map<std::string, std::string> own;
};

// The tags of a file TagLib knows; nothing for any other file (or one that cannot be read).
std::optional<FileTags> read_file_tags(const std::string& path);

// Gives the MP3 or MP4 at `path` exactly these properties and own entries (its cover
// picture stays). Nothing on success, else why.
std::optional<std::string> write_file_tags(const std::string& path, const TrackTags& properties,
                                           const std::map<std::string, std::string>& own);

} // namespace morvane
