// SPDX-License-Identifier: GPL-3.0-or-later
// What an output says of the input it was made from: which file (source_identity) and whether
// the conversion ran to the end or a stop cut it short. It lives in the output's own tags, an
// ID3 TXXX frame in an MP3 and an iTunes free-form atom in an MP4, so it travels with the
// file to any folder and any file system.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace morvane {

struct OutputMark {
    std::string source; // the source_identity of the input that made it
    bool complete = false;
};

// The tags the engine writes into a new output, marked not complete: the MP3 muxer keeps them
// as TXXX frames; the MP4 muxer has no place for them (finish_output_mark adds it).
std::vector<std::pair<std::string, std::string>> output_mark_tags(const std::string& source);

// Once the file is written: records whether it is complete (patches the TXXX frame in place;
// adds free-form atoms to the MP4's tag list). Nothing on success, else why.
std::optional<std::string> finish_output_mark(const std::string& path, const std::string& source,
                                              bool complete);

// The mark of a file; nothing when it has none (not Morvane's output, or not media).
std::optional<OutputMark> read_output_mark(const std::string& path);

} // namespace morvane
