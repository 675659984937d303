// SPDX-License-Identifier: GPL-3.0-or-later
// A still of a film for a player's video browser (the PSP shows a 160x120 JPEG named like the
// film, with .THM): one picture of the film, fitted between black borders, as a JPEG.
#pragma once

#include <optional>
#include <string>

namespace morvane {

struct ThumbnailShape {
    int width = 160;
    int height = 120;
    // Where in the film the picture is taken, as a share of its length: past titles and fades.
    double at_share = 0.1;
};

// Writes the thumbnail of `film` into the existing file `jpeg_path` (replacing its content).
// Nothing on success, else why.
std::optional<std::string> write_video_thumbnail(const std::string& film,
                                                 const std::string& jpeg_path,
                                                 const ThumbnailShape& shape = {});

} // namespace morvane
