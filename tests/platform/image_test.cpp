// Image: decoding by content, pixel addressing and colour words. (Drawing is checked
// through the controls that draw images.)
#include "platform/image.h"
#include "support/temp_folder.h"

#include <QFile>
#include <QImage>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace morvane {
namespace {

class ImageTest : public testing::Test {
protected:
    std::string write(const QImage& image, const char* name, const char* format) {
        const std::string path = folder.file(name).string();
        EXPECT_TRUE(image.save(QString::fromStdString(path), format));
        return path;
    }
    // 3 x 2 pixels, each one different.
    static QImage sample() {
        QImage image(3, 2, QImage::Format_RGB32);
        for (int i = 0; i < 6; ++i) {
            image.setPixel(i % 3, i / 3, qRgb(10 + i % 3 * 40, 20 + i / 3 * 100, 200 - i % 3 * 30));
        }
        return image;
    }
    test::TempFolder folder;
};

TEST_F(ImageTest, LoadsBmpJpegAndPngByContentWithPixelsFromTheTopLeft) {
    Image image;
    EXPECT_FALSE(image.IsValid());
    ASSERT_TRUE(image.Load(write(sample(), "sample.bmp", "BMP"), ImageType::Bmp));
    EXPECT_EQ(image.GetWidth(), 3u);
    EXPECT_EQ(image.GetHeight(), 2u);
    EXPECT_EQ(image.GetPixelColor(0, 0), (RgbQuad{200, 20, 10, 0}));
    EXPECT_EQ(image.GetPixelColor(2, 1), (RgbQuad{140, 120, 90, 0}));

    QImage picture(40, 30, QImage::Format_RGB32);
    picture.fill(QColor(30, 160, 90));
    ASSERT_TRUE(image.Load(write(picture, "device.jpg", "JPEG")));
    EXPECT_EQ(image.GetWidth(), 40u);
    EXPECT_NEAR(image.GetPixelColor(20, 15).green, 160, 4);
    ASSERT_TRUE(image.Load(write(picture, "disguised.bmp", "PNG"))); // the name does not decide
    EXPECT_EQ(image.GetPixelColor(5, 5), (RgbQuad{90, 160, 30, 0}));
}

TEST_F(ImageTest, FailedLoadLeavesTheImageEmpty) {
    Image image;
    const std::string good = write(sample(), "good.bmp", "BMP");
    QFile file(QString::fromStdString(good));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray truncated = file.read(40);
    for (const QByteArray& bytes : {truncated, QByteArray("not an image at all")}) {
        ASSERT_TRUE(image.Load(good));
        QFile damaged(QString::fromStdString(folder.file("damaged.bmp").string()));
        ASSERT_TRUE(damaged.open(QIODevice::WriteOnly | QIODevice::Truncate));
        damaged.write(bytes);
        damaged.close();
        EXPECT_FALSE(image.Load(folder.file("damaged.bmp").string()));
        EXPECT_FALSE(image.IsValid());
        EXPECT_EQ(image.GetWidth(), 0u);
    }
    EXPECT_FALSE(image.Load(folder.file("missing.bmp").string()));
    EXPECT_FALSE(image.Load(folder.path().string())); // a folder
    ASSERT_EQ(mkfifo(folder.file("pipe.bmp").c_str(), 0600), 0);
    EXPECT_FALSE(image.Load(folder.file("pipe.bmp").string())); // and it does not wait
}

TEST_F(ImageTest, CreatedImagesAreBlackAndColourWordsHaveRedInTheLowByte) {
    Image image;
    EXPECT_FALSE(image.Create(4, 3, 32));
    EXPECT_FALSE(image.Create(0, 3));
    EXPECT_FALSE(image.Create(100000, 3));
    EXPECT_FALSE(image.IsValid());
    ASSERT_TRUE(image.Create(2, 2, 24, ImageType::Bmp));
    EXPECT_EQ(image.GetPixelColor(1, 0), RgbQuad{});
    image.SetPixelColor(1, 1, 0x00332211);
    EXPECT_EQ(image.GetPixelColor(1, 1), (RgbQuad{0x33, 0x22, 0x11, 0}));
    // Outside the image: nothing is written, black is read.
    image.SetPixelColor(-1, 0, 0xFFFFFF);
    image.SetPixelColor(2, 0, 0xFFFFFF);
    EXPECT_EQ(image.GetPixelColor(-1, 0), RgbQuad{});
    EXPECT_EQ(image.GetPixelColor(0, 0), RgbQuad{});
}

} // namespace
} // namespace morvane
