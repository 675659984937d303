// Block copies with copy, xor and and, and the off-screen buffer of skinned paints.
#include "platform/offscreen_paint.h"
#include "platform/raster_ops.h"

#include <QImage>
#include <QPaintEvent>
#include <QPainter>
#include <QWidget>
#include <gtest/gtest.h>

namespace morvane {
namespace {

QImage filled(int width, int height, QRgb colour) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

TEST(RasterOps, CombineColourBitsAndStayOpaque) {
    const QRgb source = qRgb(0xFF, 0x33, 0x0F);
    const auto after = [&](RasterOp op) {
        QImage target = filled(4, 4, qRgb(0xF0, 0x0F, 0x55));
        QPainter painter(&target);
        EXPECT_TRUE(SupportsRasterOps(painter));
        BlockCopy(painter, 0, 0, 4, 4, filled(4, 4, source), 0, 0, op);
        painter.end();
        return target.pixel(2, 2);
    };
    EXPECT_EQ(after(RasterOp::SRCCOPY), source);
    EXPECT_EQ(after(RasterOp::SRCINVERT), qRgb(0x0F, 0x3C, 0x5A));
    EXPECT_EQ(after(RasterOp::SRCAND), qRgb(0xF0, 0x03, 0x05));
}

TEST(RasterOps, CopyOnlyWhatTheSourceHoldsUnscaledAndNothingForAnEmptyBlock) {
    QImage source = filled(4, 4, qRgb(0, 0, 0));
    source.setPixel(3, 3, qRgb(255, 0, 0));
    QImage target = filled(6, 6, qRgb(255, 255, 255));
    {
        QPainter painter(&target);
        // A 3 x 3 block from (2, 2): only its top-left 2 x 2 lies in the source.
        BlockCopy(painter, 1, 1, 3, 3, source, 2, 2, RasterOp::SRCCOPY);
        BlockCopy(painter, 0, 0, 0, 5, source, 0, 0, RasterOp::SRCCOPY);
        BlockCopy(painter, 0, 0, 5, 5, QImage(), 0, 0, RasterOp::SRCCOPY);
    }
    EXPECT_EQ(target.pixel(1, 1), qRgb(0, 0, 0));
    EXPECT_EQ(target.pixel(2, 2), qRgb(255, 0, 0));
    EXPECT_EQ(target.pixel(3, 3), qRgb(255, 255, 255));
    EXPECT_EQ(target.pixel(0, 0), qRgb(255, 255, 255));
}

// Paints a red 3 x 3 square at (2, 2) through the off-screen buffer on a grey field.
class BufferedWidget : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent* event) override {
        OffscreenPaint offscreen(this, event->rect(), QColor(100, 100, 100));
        if (offscreen.isReady()) {
            offscreen.painter().fillRect(2, 2, 3, 3, Qt::red);
        }
    }
};

TEST(OffscreenPaint, ComposesInWidgetCoordinatesEvenForAWidgetFarLargerThanItsWindow) {
    QWidget window;
    window.resize(40, 40);
    BufferedWidget small(&window);
    small.setGeometry(10, 10, 20, 20);
    // Only the part inside the window is buffered, not 16 million pixels squared.
    BufferedWidget huge(&window);
    huge.setGeometry(-3, -3, QWIDGETSIZE_MAX, 8);
    const QImage shot = window.grab().toImage();
    EXPECT_EQ(shot.pixel(12, 12), qRgb(255, 0, 0));
    EXPECT_EQ(shot.pixel(15, 15), qRgb(100, 100, 100));
    EXPECT_EQ(shot.pixel(1, 1), qRgb(255, 0, 0));
    EXPECT_EQ(shot.pixel(39, 2), qRgb(100, 100, 100));
}

} // namespace
} // namespace morvane
