// Morvane's own skin and pictures as the build lays them beside the executables: the skin
// renders into a plain owner at the background's size with its three buttons in the title
// band (the rendering is kept as a build artefact), and every picture fits where it is shown.
#include "skin/bitmap_button_ex.h"
#include "skin/control_id.h"
#include "skin/skin.h"
#include "skin/skin_drawing.h"
#include "test_owner.h"

#include <QDir>
#include <gtest/gtest.h>

namespace morvane {
namespace {

const std::string kRuntimeDir = MORVANE_RUNTIME_DIR "/";

Image load(const std::string& relative) {
    Image image;
    EXPECT_TRUE(image.Load(kRuntimeDir + relative)) << relative;
    return image;
}

QRgb rgbOf(const RgbQuad& pixel) {
    return qRgb(pixel.red, pixel.green, pixel.blue);
}

TEST(DefaultSkin, RendersTheBackgroundWithItsThreeButtons) {
    CSkin skin;
    test::TestOwner owner(&skin);
    skin.SetOwner(&owner);
    testing::internal::CaptureStderr();
    ASSERT_TRUE(skin.LoadSkin(kRuntimeDir + "Skins/"));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    ASSERT_TRUE(skin.FitOwnerToBackground());
    const Image& background = skin.background();
    ASSERT_EQ(owner.size(), QSize(background.GetWidth(), background.GetHeight()));

    const QImage shot = owner.grab().toImage().convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(shot.size(), owner.size());
    ASSERT_TRUE(QDir().mkpath(QStringLiteral(MORVANE_ARTEFACT_DIR)));
    EXPECT_TRUE(shot.save(QStringLiteral(MORVANE_ARTEFACT_DIR "/skin-screenshot.png")));

    for (int id : {1000, 1001, 1002}) {
        SCOPED_TRACE(id);
        auto* button = qobject_cast<CBitmapButtonEx*>(FindControl(&owner, id));
        ASSERT_NE(button, nullptr);
        EXPECT_TRUE(button->isOwnerDrawn());
        const QRect place = button->geometry();
        EXPECT_LE(place.bottom(), 18); // inside the 19-pixel title band
        EXPECT_GE(place.top(), 0);

        // The button's normal frame where it is opaque, the background where it is magenta.
        const Image strip = load(id == 1000   ? "Skins/minimize.bmp"
                                 : id == 1001 ? "Skins/close.bmp"
                                              : "Skins/settings.bmp");
        ASSERT_EQ(strip.GetWidth(), static_cast<std::uint32_t>(place.width() * 4));
        EXPECT_TRUE(IsKeyColour(strip.GetPixelColor(0, 0))) << "round buttons have key corners";
        for (int y = 0; y < place.height(); ++y) {
            for (int x = 0; x < place.width(); ++x) {
                const RgbQuad pixel = strip.GetPixelColor(x, y);
                const QRgb expected =
                    IsKeyColour(pixel)
                        ? rgbOf(background.GetPixelColor(place.x() + x, place.y() + y))
                        : rgbOf(pixel);
                ASSERT_EQ(shot.pixel(place.x() + x, place.y() + y), expected) << x << ", " << y;
            }
        }
    }
}

TEST(DefaultSkin, PicturesFitWhereTheyAreShown) {
    const Image background = load("Skins/background.bmp");
    // The conversion window: inset 19 at the top and 2 elsewhere; pictures start at y = 2
    // and stay above the 17-pixel status strip.
    const int area_width = static_cast<int>(background.GetWidth()) - 4;
    const int area_height = static_cast<int>(background.GetHeight()) - 21;
    for (const char* name :
         {"devices/iPhone.jpg", "devices/iPod Nano.jpg", "devices/iPod Classic.jpg",
          "devices/iPod Shuffle.jpg", "devices/PSP.jpg"}) {
        SCOPED_TRACE(name);
        const Image picture = load(name);
        EXPECT_LE(static_cast<int>(picture.GetWidth()), area_width);
        EXPECT_LE(2 + static_cast<int>(picture.GetHeight()), area_height - 17);
    }

    const Image stop = load("Skins/stop.bmp");
    EXPECT_LE(stop.GetWidth() / 3, 35u);
    EXPECT_LE(stop.GetHeight(), 50u);
    EXPECT_TRUE(IsKeyColour(stop.GetPixelColor(0, 0)));
    EXPECT_FALSE(IsKeyColour(stop.GetPixelColor(stop.GetWidth() / 6, stop.GetHeight() / 2)));

    const Image about = load("icons/about.bmp");
    EXPECT_EQ(about.GetWidth(), 180u);
    EXPECT_EQ(about.GetHeight(), 180u);
    EXPECT_TRUE(load("icons/morvane-256.png").IsValid());
}

} // namespace
} // namespace morvane
