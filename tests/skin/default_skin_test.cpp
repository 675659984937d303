// SPDX-License-Identifier: GPL-3.0-or-later
// Morvane's own skin and pictures as the build lays them beside the executables: the skin
// renders into a plain owner at the background's size with its three buttons in the title
// band (the rendering is kept as a build artefact), every picture fits where it is shown,
// and each skin picture has @2x art of twice its size with the same transparent outline.
#include "skin/skin.h"
#include "skin/skin_button.h"
#include "test_owner.h"

#include <QDir>
#include <QImageReader>
#include <gtest/gtest.h>

namespace morvane {
namespace {

const std::string kRuntimeDir = MORVANE_RUNTIME_DIR "/";

QImage load(const std::string& relative) {
    QImage image(QString::fromStdString(kRuntimeDir + relative));
    EXPECT_FALSE(image.isNull()) << relative;
    return image.convertToFormat(QImage::Format_RGB32);
}

bool isKey(QRgb pixel) {
    return SkinPixmap::is_key_colour(pixel);
}

TEST(DefaultSkin, RendersTheBackgroundWithItsThreeButtons) {
    test::TestOwner owner;
    Skin skin(&owner);
    owner.paintWith(&skin);
    testing::internal::CaptureStderr();
    ASSERT_TRUE(skin.load(kRuntimeDir + "Skins/"));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    ASSERT_TRUE(skin.fit_owner());
    const QImage background = load("Skins/background.bmp");
    ASSERT_EQ(owner.size(), background.size());
    test::showAndWait(owner);

    const QImage shot = test::onScreen(owner);
    ASSERT_EQ(shot.size(), owner.size());
    ASSERT_TRUE(QDir().mkpath(QStringLiteral(MORVANE_ARTEFACT_DIR)));
    EXPECT_TRUE(shot.save(QStringLiteral(MORVANE_ARTEFACT_DIR "/skin-screenshot.png")));

    const struct {
        SkinButton* button;
        const char* file;
    } buttons[] = {{skin.minimise_button(), "Skins/minimize.bmp"},
                   {skin.close_button(), "Skins/close.bmp"},
                   {skin.settings_button(), "Skins/settings.bmp"}};
    for (const auto& expected : buttons) {
        SCOPED_TRACE(expected.file);
        ASSERT_NE(expected.button, nullptr);
        EXPECT_TRUE(expected.button->is_owner_drawn());
        const QRect place = expected.button->geometry();
        EXPECT_LE(place.bottom(), 18); // inside the 19-pixel title band
        EXPECT_GE(place.top(), 0);

        // The button's normal frame where it is opaque, the background where it is magenta.
        const QImage strip = load(expected.file);
        ASSERT_EQ(strip.width(), place.width() * 4);
        EXPECT_TRUE(isKey(strip.pixel(0, 0))) << "round buttons have key corners";
        for (int y = 0; y < place.height(); ++y) {
            for (int x = 0; x < place.width(); ++x) {
                const QRgb pixel = strip.pixel(x, y);
                const QRgb wanted =
                    isKey(pixel) ? background.pixel(place.x() + x, place.y() + y) : pixel;
                ASSERT_EQ(shot.pixel(place.x() + x, place.y() + y), wanted) << x << ", " << y;
            }
        }
    }
}

TEST(DefaultSkin, PicturesFitWhereTheyAreShownAndHaveDoubleArt) {
    const QImage background = load("Skins/background.bmp");
    // The drop area: inset 19 at the top and 2 elsewhere; pictures start at y = 2.
    const int area_width = background.width() - 4;
    const int area_height = background.height() - 21;
    for (const char* name : {"devices/iPhone", "devices/iPod Nano", "devices/iPod Classic",
                             "devices/iPod Shuffle", "devices/PSP"}) {
        SCOPED_TRACE(name);
        const QImage picture = load(name + std::string(".jpg"));
        EXPECT_LE(picture.width(), area_width);
        EXPECT_LE(2 + picture.height(), area_height - 17);
        EXPECT_EQ(load(name + std::string("@2x.jpg")).size(), picture.size() * 2);
    }

    for (const char* name : {"background", "settings", "minimize", "close", "stop"}) {
        SCOPED_TRACE(name);
        const QImage normal = load("Skins/" + std::string(name) + ".bmp");
        const QImage doubled = load("Skins/" + std::string(name) + "@2x.bmp");
        ASSERT_EQ(doubled.size(), normal.size() * 2);
        // The same outline: a 1x pixel is transparent where its 2 x 2 block is.
        int differences = 0;
        for (int y = 0; y < normal.height(); ++y) {
            for (int x = 0; x < normal.width(); ++x) {
                const bool block_transparent = isKey(doubled.pixel(2 * x, 2 * y)) &&
                                               isKey(doubled.pixel(2 * x + 1, 2 * y)) &&
                                               isKey(doubled.pixel(2 * x, 2 * y + 1)) &&
                                               isKey(doubled.pixel(2 * x + 1, 2 * y + 1));
                differences += isKey(normal.pixel(x, y)) != block_transparent ? 1 : 0;
            }
        }
        EXPECT_LE(differences, normal.width() * normal.height() / 50);
    }
    const QImage stop = load("Skins/stop.bmp");
    EXPECT_LE(stop.width() / 3, 35);
    EXPECT_LE(stop.height(), 50);
    EXPECT_TRUE(isKey(stop.pixel(0, 0)));
    EXPECT_FALSE(isKey(stop.pixel(stop.width() / 6, stop.height() / 2)));

    const QImage about = load("icons/about.bmp");
    EXPECT_EQ(about.size(), QSize(180, 180));
    EXPECT_FALSE(load("icons/morvane-256.png").isNull());
}

} // namespace
} // namespace morvane
