// What every skinned surface shares: the magenta key colour, the outline and mask that a
// frame's key-coloured pixels give, the transparent composition of a frame over what lies
// beneath, and tiling a small image over a larger rectangle. Images are never scaled.
#pragma once

#include "platform/image.h"

#include <QRegion>

class QImage;
class QPainter;
class QRect;

namespace morvane {

// Magenta, matched exactly: (255, 0, 254) is an ordinary opaque colour.
bool IsKeyColour(const RgbQuad& pixel);

struct FrameShape {
    QRegion shape; // the frame rectangle less its key-coloured pixels
    Image mask;    // frame-sized, white where transparent, black where opaque
};

// Outline and mask of the frame at the image's top-left corner, frame_width x
// frame_height (cut to the image). Every frame of a strip shares them.
FrameShape ComputeFrameShape(const Image& image, int frame_width, int frame_height);

// Composes the frame block of strip at frame_offset over what target already holds at
// (x, y): exclusive-or, and with the mask, exclusive-or. Where the mask is white the target
// keeps its pixels; where it is black it takes the frame's.
void ComposeTransparent(QPainter& target, int x, int y, const QImage& strip,
                        const QPoint& frame_offset, const QImage& mask);

// Fills destination_rect with copies of source_rect's block, left to right and top to
// bottom, cutting the last column and row. An empty tile or destination draws nothing.
void TileBlt(QPainter& destination, const QRect& destination_rect, const QImage& source,
             const QRect& source_rect);

} // namespace morvane
