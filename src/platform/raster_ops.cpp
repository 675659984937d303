// Raster operations on top of QPainter's composition modes.
#include "platform/raster_ops.h"

#include <QImage>
#include <QPaintEngine>
#include <QPainter>

namespace morvane {

namespace {

QPainter::CompositionMode compositionFor(RasterOp op) {
    switch (op) {
    case RasterOp::SRCINVERT:
        return QPainter::RasterOp_SourceXorDestination;
    case RasterOp::SRCAND:
        return QPainter::RasterOp_SourceAndDestination;
    case RasterOp::SRCCOPY:
        break;
    }
    return QPainter::CompositionMode_Source;
}

} // namespace

bool SupportsRasterOps(const QPainter& painter) {
    const QPaintEngine* engine = painter.paintEngine();
    return engine != nullptr && engine->hasFeature(QPaintEngine::RasterOpModes);
}

void BlockCopy(QPainter& destination, int x, int y, int width, int height, const QImage& source,
               int source_x, int source_y, RasterOp op) {
    if (width <= 0 || height <= 0 || source.isNull() || !destination.isActive()) {
        return;
    }
    // Clip the block to the source here: QPainter would scale a partial source rectangle.
    const QRect wanted(source_x, source_y, width, height);
    const QRect available = wanted.intersected(source.rect());
    if (available.isEmpty()) {
        return;
    }
    const QPoint target(x + available.x() - source_x, y + available.y() - source_y);

    const QPainter::CompositionMode previous = destination.compositionMode();
    destination.setCompositionMode(compositionFor(op));
    destination.drawImage(target, source, available);
    destination.setCompositionMode(previous);
}

} // namespace morvane
