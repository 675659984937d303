// SPDX-License-Identifier: GPL-3.0-or-later
// Replacing a file so that it is either wholly old or wholly new, whatever happens in
// between (a crash, the power-off that follows a save).
#pragma once

#include <string>
#include <string_view>

namespace morvane {

// Writes contents to a temporary file in the same folder, flushes it to disk and renames it
// over path. A link at path is followed: the file it names is replaced and the link stays.
// The old file's permissions carry over; a file we may not write is left alone.
// On failure nothing changes on disk (no temporary file stays behind), false comes back and
// `failure`, when given, gets why (the system's words, e.g. "Permission denied").
bool replace_file_atomically(const std::string& path, std::string_view contents,
                             std::string* failure = nullptr);

} // namespace morvane
