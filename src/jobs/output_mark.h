// SPDX-License-Identifier: GPL-3.0-or-later
// What an output says of how it was made: from which source (its SourceIdentity), for what
// (its OutputTarget), found where (the source's path under the folder it was found in, and
// a hash of its absolute path), and how the conversion ended. It lives in the output's own
// tags, so it travels with the file to any folder, file system or player.
#pragma once

#include <map>
#include <optional>
#include <string>

namespace morvane {

struct OutputMark {
    enum class State {
        complete,   // the whole input converted
        stopped,    // a stop cut it short at `seconds`
        incomplete, // the input is damaged or cut: what it held, `reason` says where it ends
    };

    std::string source;        // SourceIdentity::text()
    std::string target;        // output_target(); empty in outputs of earlier versions
    std::string relative_path; // of the source under the folder it was found in
    std::string location;      // source_location() of the source
    State state = State::complete;
    double seconds = 0; // stopped: of the input's timeline reached (0: the mark does not say)
    std::string reason; // incomplete: why

    // The entries an output's tags carry (see tag_file.h).
    std::map<std::string, std::string> entries() const;
};

// A short hash of the absolute form of `path`: tells the place a source was found in
// without writing the user's folders into every output.
std::string source_location(const std::string& path);

// The mark in a file's tags; nothing when it has none (not Morvane's output, not media, or
// not a regular file).
std::optional<OutputMark> read_output_mark(const std::string& path);

} // namespace morvane
