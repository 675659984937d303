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

QRgb afterCopy(QRgb destination, QRgb source, RasterOp op) {
    QImage target = filled(4, 4, destination);
    {
        QPainter painter(&target);
        BlockCopy(painter, 0, 0, 4, 4, filled(4, 4, source), 0, 0, op);
    }
    return target.pixel(2, 2);
}

TEST(RasterOps, CombineColourBitsAndStayOpaque) {
    const QRgb destination = qRgb(0xF0, 0x0F, 0x55);
    const QRgb source = qRgb(0xFF, 0x33, 0x0F);
    EXPECT_EQ(afterCopy(destination, source, RasterOp::SRCCOPY), source);
    EXPECT_EQ(afterCopy(destination, source, RasterOp::SRCINVERT), qRgb(0x0F, 0x3C, 0x5A));
    EXPECT_EQ(afterCopy(destination, source, RasterOp::SRCAND), qRgb(0xF0, 0x03, 0x05));
    // xor twice with the same source restores the destination.
    QImage target = filled(2, 2, destination);
    QPainter painter(&target);
    ASSERT_TRUE(SupportsRasterOps(painter));
    BlockCopy(painter, 0, 0, 2, 2, filled(2, 2, source), 0, 0, RasterOp::SRCINVERT);
    BlockCopy(painter, 0, 0, 2, 2, filled(2, 2, source), 0, 0, RasterOp::SRCINVERT);
    painter.end();
    EXPECT_EQ(target.pixel(1, 1), destination);
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
        BlockCopy(painter, 0, 0, 5, -1, source, 0, 0, RasterOp::SRCCOPY);
        BlockCopy(painter, 0, 0, 5, 5, QImage(), 0, 0, RasterOp::SRCCOPY);
    }
    EXPECT_EQ(target.pixel(1, 1), qRgb(0, 0, 0));
    EXPECT_EQ(target.pixel(2, 2), qRgb(255, 0, 0));
    EXPECT_EQ(target.pixel(3, 3), qRgb(255, 255, 255));
    EXPECT_EQ(target.pixel(3, 1), qRgb(255, 255, 255));
    EXPECT_EQ(target.pixel(0, 0), qRgb(255, 255, 255));
}

// Paints a red square at (2, 2) through the off-screen buffer on a grey field.
class BufferedWidget : public QWidget {
public:
    using QWidget::QWidget;
    int paints = 0;

protected:
    void paintEvent(QPaintEvent* event) override {
        OffscreenPaint offscreen(this, event->rect(), QColor(100, 100, 100));
        if (!offscreen.isReady()) {
            return;
        }
        ++paints;
        offscreen.painter().fillRect(2, 2, 3, 3, Qt::red);
    }
};

TEST(OffscreenPaint, ComposesInWidgetCoordinatesAndCopiesOnce) {
    QWidget window;
    window.resize(40, 40);
    BufferedWidget widget(&window);
    widget.setGeometry(10, 10, 20, 20);
    const QImage shot = window.grab().toImage();
    EXPECT_EQ(shot.pixel(12, 12), qRgb(255, 0, 0));
    EXPECT_EQ(shot.pixel(14, 14), qRgb(255, 0, 0));
    EXPECT_EQ(shot.pixel(15, 15), qRgb(100, 100, 100));
    EXPECT_EQ(shot.pixel(29, 29), qRgb(100, 100, 100));
    EXPECT_GE(widget.paints, 1);
}

TEST(OffscreenPaint, AWidgetFarLargerThanItsWindowGetsABufferOfTheVisiblePartOnly) {
    QWidget window;
    window.resize(30, 30);
    BufferedWidget widget(&window);
    widget.setGeometry(-3, -3, QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    const QImage shot = window.grab().toImage();
    EXPECT_EQ(shot.pixel(0, 0), qRgb(255, 0, 0));
    EXPECT_EQ(shot.pixel(1, 1), qRgb(255, 0, 0));
    EXPECT_EQ(shot.pixel(2, 2), qRgb(100, 100, 100));
    EXPECT_EQ(shot.pixel(29, 29), qRgb(100, 100, 100));
}

} // namespace
} // namespace morvane
