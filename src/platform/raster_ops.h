// Block copies with the three raster operations the skin composes with: plain copy,
// exclusive-or and and. The destination is any QPainter on a raster device (a QImage,
// or a widget's backing store during its paint).
#pragma once

class QImage;
class QPainter;

namespace morvane {

enum class RasterOp {
    SRCCOPY,   // destination := source
    SRCINVERT, // destination := destination xor source
    SRCAND,    // destination := destination and source
};

// Copies the width x height block of source at (source_x, source_y) to (x, y) in the
// painter's coordinates. Parts of the block outside the source are left untouched in the
// destination; an empty block or a null source copies nothing. Colour bits only take
// part: the result is always opaque.
void BlockCopy(QPainter& destination, int x, int y, int width, int height, const QImage& source,
               int source_x, int source_y, RasterOp op);

// True when the painter's device can do SRCINVERT and SRCAND (every raster device can).
bool SupportsRasterOps(const QPainter& painter);

} // namespace morvane
