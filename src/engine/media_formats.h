// SPDX-License-Identifier: GPL-3.0-or-later
// Which files hold sound or film, as FFmpeg knows them here: by the extensions its formats
// name, or by their first bytes. Pictures and text, which FFmpeg opens too, are nobody's song
// or film and are left out.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace morvane {

// The extensions FFmpeg's sound and film formats name (lower case, without the dot, sorted,
// each once). Formats FFmpeg tells by their content alone (WAV, MPEG-PS, MPEG-TS, ...) name
// none.
std::vector<std::string> media_format_extensions();

// Whether FFmpeg tells from `start`, the first bytes of the file `name`, that it holds a sound
// or film format, with more confidence than a file name or a few lucky bytes earn.
bool sniffed_as_media(const std::string& name, const std::vector<std::uint8_t>& start);

} // namespace morvane
