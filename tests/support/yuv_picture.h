// SPDX-License-Identifier: GPL-3.0-or-later
// One decoded video frame as 8-bit YUV 4:2:0 planes, for tests that check pixels: black
// borders, colour bars, where a scaled picture landed.
#pragma once

#include "support/colour_bars.h"

#include <cstdint>
#include <filesystem>
#include <vector>

namespace morvane::test {

class YuvPicture {
public:
    YuvPicture(int width, int height);

    int width() const { return width_; }
    int height() const { return height_; }
    // The frame's presentation time in seconds (negative when unknown).
    double seconds() const { return seconds_; }
    void set_seconds(double seconds) { seconds_ = seconds; }

    // Y at (x, y); U and V of the 2x2 block that holds it.
    YuvColour pixel(int x, int y) const;
    // Every pixel of a rectangle within `tolerance` of `colour` (colour_distance).
    bool area_is(int left, int top, int right, int bottom, const YuvColour& colour,
                 int tolerance) const;

    std::uint8_t* plane(int index) { return planes_[static_cast<std::size_t>(index)].data(); }
    int plane_width(int index) const { return index == 0 ? width_ : (width_ + 1) / 2; }
    int plane_height(int index) const { return index == 0 ? height_ : (height_ + 1) / 2; }

private:
    int width_;
    int height_;
    double seconds_ = -1.0;
    std::vector<std::uint8_t> planes_[3];
};

// Decodes the `frame_index`-th frame (0: the first) of the first video stream, converted to
// limited-range yuv420p when it was decoded in another format. Throws std::runtime_error when
// the file has no such frame.
YuvPicture decode_video_frame(const std::filesystem::path& path, int frame_index = 0);

// The frame in the middle of the first video stream.
YuvPicture decode_middle_video_frame(const std::filesystem::path& path);

} // namespace morvane::test
