// SPDX-License-Identifier: GPL-3.0-or-later
// Which files the desktop offers to convert: the extensions of the audio and video files
// Morvane reads, for the Open dialog's filter and for the folders a user drops or opens.
#pragma once

#include <string>
#include <vector>

namespace morvane {

// Lower-case extensions without the dot.
const std::vector<std::string>& media_extensions();

// The paths in order, each folder replaced by the media files under it (every level,
// sorted by path; links to folders and hidden entries are passed over). Other paths stay
// as they are: the conversion says why a file is not taken.
std::vector<std::string> expand_media_folders(const std::vector<std::string>& paths);

} // namespace morvane
