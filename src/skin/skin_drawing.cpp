// Key colour, frame outline and mask, transparent composition and tiling.
#include "skin/skin_drawing.h"

#include "platform/raster_ops.h"

#include <QImage>
#include <QPainter>
#include <QRect>
#include <algorithm>
#include <vector>

namespace morvane {

namespace {

constexpr std::uint32_t kMaskTransparent = 0xFFFFFF;
constexpr std::uint32_t kMaskOpaque = 0x000000;

// The part of the painter's device that can take pixels, in the painter's coordinates.
QRect paintableArea(const QPainter& painter) {
    const QPaintDevice* device = painter.device();
    QRect area =
        painter.transform().inverted().mapRect(QRect(0, 0, device->width(), device->height()));
    if (painter.hasClipping()) {
        area &= painter.clipBoundingRect().toAlignedRect();
    }
    return area;
}

// First tile edge at or after from, on the grid that starts at origin with step size.
int firstTileEdge(int origin, int from, int size) {
    return from <= origin ? origin : origin + (from - origin) / size * size;
}

} // namespace

bool IsKeyColour(const RgbQuad& pixel) {
    return pixel.red == 255 && pixel.green == 0 && pixel.blue == 255;
}

FrameShape ComputeFrameShape(const Image& image, int frame_width, int frame_height) {
    FrameShape result;
    const int width = std::min<std::int64_t>(frame_width, image.GetWidth());
    const int height = std::min<std::int64_t>(frame_height, image.GetHeight());
    if (width <= 0 || height <= 0) {
        return result;
    }
    result.mask.Create(static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height));

    // Opaque runs of each row become rectangles of the region, set in one go: one region
    // operation per pixel would be quadratic on large frames.
    std::vector<QRect> opaque_runs;
    for (int y = 0; y < height; ++y) {
        int run_start = -1;
        for (int x = 0; x <= width; ++x) {
            const bool opaque = x < width && !IsKeyColour(image.GetPixelColor(x, y));
            if (x < width) {
                result.mask.SetPixelColor(x, y, opaque ? kMaskOpaque : kMaskTransparent);
            }
            if (opaque && run_start < 0) {
                run_start = x;
            } else if (!opaque && run_start >= 0) {
                opaque_runs.emplace_back(run_start, y, x - run_start, 1);
                run_start = -1;
            }
        }
    }
    if (!opaque_runs.empty()) {
        result.shape.setRects(opaque_runs.data(), static_cast<int>(opaque_runs.size()));
    }
    return result;
}

void ComposeTransparent(QPainter& target, int x, int y, const QImage& strip,
                        const QPoint& frame_offset, const QImage& mask) {
    const int width = mask.width();
    const int height = mask.height();
    BlockCopy(target, x, y, width, height, strip, frame_offset.x(), frame_offset.y(),
              RasterOp::SRCINVERT);
    BlockCopy(target, x, y, width, height, mask, 0, 0, RasterOp::SRCAND);
    BlockCopy(target, x, y, width, height, strip, frame_offset.x(), frame_offset.y(),
              RasterOp::SRCINVERT);
}

void TileBlt(QPainter& destination, const QRect& destination_rect, const QImage& source,
             const QRect& source_rect) {
    const int tile_width = source_rect.width();
    const int tile_height = source_rect.height();
    if (tile_width <= 0 || tile_height <= 0) {
        return;
    }
    if (!destination.isActive()) {
        return;
    }
    // Tiles outside the device change nothing; skipping them keeps a huge destination cheap.
    const QRect paintable = paintableArea(destination);
    const int right = std::min(destination_rect.x() + destination_rect.width(),
                               paintable.x() + paintable.width());
    const int bottom = std::min(destination_rect.y() + destination_rect.height(),
                                paintable.y() + paintable.height());
    const int first_x = firstTileEdge(destination_rect.x(), paintable.x(), tile_width);
    const int first_y = firstTileEdge(destination_rect.y(), paintable.y(), tile_height);
    for (int y = first_y; y < bottom;) {
        const int row_height = std::min(tile_height, bottom - y);
        for (int x = first_x; x < right;) {
            const int column_width = std::min(tile_width, right - x);
            BlockCopy(destination, x, y, column_width, row_height, source, source_rect.x(),
                      source_rect.y(), RasterOp::SRCCOPY);
            x += column_width;
        }
        y += row_height;
    }
}

} // namespace morvane
