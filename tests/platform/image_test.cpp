// Image: decoding by content, pixel addressing and colour words, drawing unscaled.
#include "platform/image.h"
#include "support/temp_folder.h"

#include <QFile>
#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>

namespace morvane {
namespace {

// 3 x 2 pixels, each one different.
QImage sample() {
    QImage image(3, 2, QImage::Format_RGB32);
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 3; ++x) {
            image.setPixel(x, y, qRgb(10 + x * 40, 20 + y * 100, 200 - x * 30));
        }
    }
    return image;
}

class ImageTest : public testing::Test {
protected:
    std::string write(const QImage& image, const char* name, const char* format) {
        const std::string path = folder.file(name).string();
        EXPECT_TRUE(image.save(QString::fromStdString(path), format));
        return path;
    }
    test::TempFolder folder;
};

TEST_F(ImageTest, LoadsBmpWithPixelsAddressedFromTheTopLeft) {
    Image image;
    EXPECT_FALSE(image.IsValid());
    ASSERT_TRUE(image.Load(write(sample(), "sample.bmp", "BMP")));
    ASSERT_TRUE(image.IsValid());
    EXPECT_EQ(image.GetWidth(), 3u);
    EXPECT_EQ(image.GetHeight(), 2u);
    EXPECT_EQ(image.GetPixelColor(0, 0), (RgbQuad{200, 20, 10, 0}));
    EXPECT_EQ(image.GetPixelColor(2, 1), (RgbQuad{140, 120, 90, 0}));
}

TEST_F(ImageTest, RecognisesJpegAndPngByContentUnderTheBmpHint) {
    QImage picture(40, 30, QImage::Format_RGB32);
    picture.fill(QColor(30, 160, 90));
    Image jpeg;
    ASSERT_TRUE(jpeg.Load(write(picture, "device.jpg", "JPEG"), ImageType::Bmp));
    EXPECT_EQ(jpeg.GetWidth(), 40u);
    EXPECT_NEAR(jpeg.GetPixelColor(20, 15).green, 160, 4);
    // The name does not decide: a PNG under a .bmp name still loads.
    Image png;
    ASSERT_TRUE(png.Load(write(picture, "disguised.bmp", "PNG")));
    EXPECT_EQ(png.GetPixelColor(5, 5), (RgbQuad{90, 160, 30, 0}));
}

TEST_F(ImageTest, FailedLoadLeavesTheImageEmpty) {
    Image image;
    ASSERT_TRUE(image.Load(write(sample(), "good.bmp", "BMP")));
    EXPECT_FALSE(image.Load(folder.file("missing.bmp").string()));
    EXPECT_FALSE(image.IsValid());
    EXPECT_EQ(image.GetWidth(), 0u);

    // A truncated BMP and a text file.
    QFile good(QString::fromStdString(folder.file("good.bmp").string()));
    ASSERT_TRUE(good.open(QIODevice::ReadOnly));
    const QByteArray head = good.read(40);
    for (const QByteArray& bytes : {head, QByteArray("not an image at all")}) {
        QFile damaged(QString::fromStdString(folder.file("damaged.bmp").string()));
        ASSERT_TRUE(damaged.open(QIODevice::WriteOnly | QIODevice::Truncate));
        damaged.write(bytes);
        damaged.close();
        EXPECT_FALSE(image.Load(folder.file("damaged.bmp").string()));
        EXPECT_FALSE(image.IsValid());
    }
}

TEST_F(ImageTest, CreateGivesABlack24BitImageAndRefusesOtherDepthsOrNoSize) {
    Image image;
    ASSERT_TRUE(image.Create(4, 3, 24, ImageType::Bmp));
    EXPECT_EQ(image.GetWidth(), 4u);
    EXPECT_EQ(image.GetPixelColor(3, 2), RgbQuad{});
    EXPECT_FALSE(image.Create(4, 3, 32));
    EXPECT_FALSE(image.IsValid());
    EXPECT_FALSE(image.Create(0, 3));
    EXPECT_FALSE(image.Create(100000, 3));
}

TEST_F(ImageTest, ColourWordsHaveRedInTheLowByteAndStrayCoordinatesAreHarmless) {
    Image image;
    ASSERT_TRUE(image.Create(2, 2));
    image.SetPixelColor(1, 1, 0x00332211);
    EXPECT_EQ(image.GetPixelColor(1, 1), (RgbQuad{0x33, 0x22, 0x11, 0}));
    image.SetPixelColor(0, 0, 0xFFFFFF);
    EXPECT_EQ(image.GetPixelColor(0, 0), (RgbQuad{255, 255, 255, 0}));
    image.SetPixelColor(-1, 0, 0xFFFFFF);
    image.SetPixelColor(2, 0, 0xFFFFFF);
    EXPECT_EQ(image.GetPixelColor(-1, 0), RgbQuad{});
    EXPECT_EQ(image.GetPixelColor(0, 2), RgbQuad{});
    EXPECT_EQ(image.GetPixelColor(1, 0), RgbQuad{});
}

TEST_F(ImageTest, BltAndDrawPaintTheWholeImageUnscaled) {
    Image image;
    ASSERT_TRUE(image.Load(write(sample(), "sample.bmp", "BMP")));
    QImage canvas(8, 6, QImage::Format_RGB32);
    canvas.fill(Qt::white);
    {
        QPainter painter(&canvas);
        image.Blt(painter, 1, 1);
        image.Draw(painter, 5, 4, -1, -1);
    }
    const QImage& pixels = image.MakeBitmap();
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 3; ++x) {
            EXPECT_EQ(canvas.pixel(1 + x, 1 + y), pixels.pixel(x, y));
            EXPECT_EQ(canvas.pixel(5 + x, 4 + y), pixels.pixel(x, y));
        }
    }
    EXPECT_EQ(canvas.pixel(4, 1), qRgb(255, 255, 255));
    EXPECT_EQ(canvas.pixel(1, 3), qRgb(255, 255, 255));

    image.DestroyFrames();
    image.Destroy();
    EXPECT_FALSE(image.IsValid());
    QPainter painter(&canvas);
    image.Blt(painter, 0, 0); // an empty image draws nothing
}

} // namespace
} // namespace morvane
