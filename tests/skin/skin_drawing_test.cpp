// Tiling, the outline and mask of a frame, and the transparent composition.
#include "skin/skin_drawing.h"
#include "test_owner.h"

#include <QElapsedTimer>
#include <QPainter>
#include <gtest/gtest.h>

namespace morvane {
namespace {

constexpr QRgb kUntouched = qRgb(1, 2, 3);

QImage canvas(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(kUntouched);
    return image;
}

TEST(TileBlt, RepeatsTheTileAndCutsTheLastColumnAndRow) {
    const QImage tile = test::coordinateImage(10, 10);
    QImage target = canvas(30, 15);
    {
        QPainter painter(&target);
        TileBlt(painter, QRect(0, 0, 25, 12), tile, tile.rect());
    }
    for (int y = 0; y < 15; ++y) {
        for (int x = 0; x < 30; ++x) {
            const QRgb expected = x < 25 && y < 12 ? tile.pixel(x % 10, y % 10) : kUntouched;
            ASSERT_EQ(target.pixel(x, y), expected) << "at " << x << ", " << y;
        }
    }
}

TEST(TileBlt, DrawsNothingForAnEmptyDestinationOrTile) {
    const QImage tile = test::coordinateImage(10, 10);
    QImage target = canvas(20, 20);
    QPainter painter(&target);
    TileBlt(painter, QRect(QPoint(5, 5), QPoint(4, 15)), tile, tile.rect()); // right < left
    TileBlt(painter, QRect(5, 16, 10, -12), tile, tile.rect());              // bottom above top
    TileBlt(painter, QRect(0, 0, 20, 20), QImage(), QRect());                // a tile of size 0
    painter.end();
    EXPECT_EQ(target, canvas(20, 20));
}

TEST(TileBlt, AHugeDestinationCostsOnlyWhatCanBeSeen) {
    const QImage tile = test::coordinateImage(1, 1);
    QImage target = canvas(20, 20);
    QElapsedTimer timer;
    timer.start();
    QPainter painter(&target);
    TileBlt(painter, QRect(-1000000, -1000000, 16000000, 16000000), tile, tile.rect());
    painter.end();
    EXPECT_LT(timer.elapsed(), 2000);
    EXPECT_EQ(target.pixel(19, 19), tile.pixel(0, 0));
}

TEST(FrameShape, AKeyFreeFrameIsWhollyOpaque) {
    Image strip;
    ASSERT_TRUE(strip.Create(8, 4));
    strip.SetPixelColor(6, 1, 0xFF00FF); // key colour, but in frame 1
    const FrameShape shape = ComputeFrameShape(strip, 4, 4);
    EXPECT_TRUE((shape.shape ^ QRegion(0, 0, 4, 4)).isEmpty());
    ASSERT_TRUE(shape.mask.IsValid());
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 4; ++x) {
            EXPECT_EQ(shape.mask.GetPixelColor(x, y), RgbQuad{});
        }
    }
}

TEST(FrameShape, OnlyExactMagentaIsTransparent) {
    Image frame;
    ASSERT_TRUE(frame.Create(3, 2));
    frame.SetPixelColor(0, 0, 0xFF00FF); // red 255, green 0, blue 255
    frame.SetPixelColor(1, 0, 0xFE00FF); // red 255, green 0, blue 254
    frame.SetPixelColor(2, 1, 0xFF01FF); // green 1
    const FrameShape shape = ComputeFrameShape(frame, 3, 2);
    EXPECT_TRUE((shape.shape ^ (QRegion(0, 0, 3, 2) - QRegion(0, 0, 1, 1))).isEmpty());
    EXPECT_EQ(shape.mask.GetPixelColor(0, 0), (RgbQuad{255, 255, 255, 0}));
    EXPECT_EQ(shape.mask.GetPixelColor(1, 0), RgbQuad{});
    EXPECT_EQ(shape.mask.GetPixelColor(2, 1), RgbQuad{});
}

TEST(ComposeTransparent, KeepsWhatLiesBeneathWhereTheMaskIsWhite) {
    // Frame 1 of a two-frame strip: left column key colour, right column opaque.
    Image strip;
    ASSERT_TRUE(strip.Create(4, 1));
    strip.SetPixelColor(0, 0, 0xFF00FF);
    strip.SetPixelColor(1, 0, 0x0000FF);
    strip.SetPixelColor(2, 0, 0xFF00FF);
    strip.SetPixelColor(3, 0, 0x00FF00);
    const FrameShape shape = ComputeFrameShape(strip, 2, 1);

    QImage target = canvas(3, 1);
    {
        QPainter painter(&target);
        ComposeTransparent(painter, 1, 0, strip.MakeBitmap(), QPoint(2, 0),
                           shape.mask.MakeBitmap());
    }
    EXPECT_EQ(target.pixel(0, 0), kUntouched);
    EXPECT_EQ(target.pixel(1, 0), kUntouched);
    EXPECT_EQ(target.pixel(2, 0), qRgb(0, 255, 0));
}

} // namespace
} // namespace morvane
