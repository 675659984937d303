// Output pictures of the device's full size whose borders are painted once, when the
// picture is made. The encoder may keep a reference to the last picture it was given, so
// each new frame goes into a picture nobody else holds; a new one is made only when every
// picture is still held, which keeps steady-state encoding free of allocations.
#pragma once

#include "engine/ffmpeg_ptr.h"

#include <array>
#include <cstdint>
#include <vector>

namespace morvane {

struct PictureBorders {
    int top = 0;
    int bottom = 0;
    int left = 0;
    int right = 0;
};

class PaddedPicturePool {
public:
    // Forgets earlier pictures and makes the first one. Returns 0 or a negative error code.
    int configure(AVPixelFormat format, int width, int height, const PictureBorders& borders,
                  const std::array<std::uint8_t, 3>& border_colour);
    bool is_configured() const { return !pictures_.empty(); }

    // A picture that may be written; nullptr when a new one cannot be allocated.
    AVFrame* writable_picture();

    // The planes of the picture's interior, where the fitted picture goes.
    void interior(const AVFrame* picture, std::uint8_t* planes[4], int linesizes[4]) const;

private:
    FramePtr make_picture() const;

    std::vector<FramePtr> pictures_;
    AVPixelFormat format_ = AV_PIX_FMT_NONE;
    int width_ = 0;
    int height_ = 0;
    PictureBorders borders_;
    std::array<std::uint8_t, 3> border_colour_{16, 128, 128};
};

} // namespace morvane
