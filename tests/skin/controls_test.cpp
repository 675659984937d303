// SPDX-License-Identifier: GPL-3.0-or-later
// The skinned scrollbar: its arrows and tiled track, drawn from the skin's pictures.
#include "skin/skin_scroll_bar.h"
#include "support/temp_folder.h"
#include "test_owner.h"

#include <QFontMetrics>
#include <QTest>
#include <gtest/gtest.h>

namespace morvane {
namespace {

class SkinScrollBarTest : public testing::Test {
protected:
    SkinScrollBar& scrollbar(int height, const QImage& buttons, const QImage& bar) {
        test::writeBmp(buttons, folder.file("buttons.bmp"));
        test::writeBmp(bar, folder.file("bar.bmp"));
        auto* created = new SkinScrollBar(&owner);
        created->setGeometry(10, 10, 16, height);
        created->load_images(folder.file("bar.bmp").string(), folder.file("buttons.bmp").string());
        return *created;
    }
    QRgb at(int x, int y) { return test::onScreen(owner).pixel(10 + x, 10 + y); }

    test::TempFolder folder;
    test::TestOwner owner;
};

TEST_F(SkinScrollBarTest, ArrowsAtTheEndsAndTheBarTiledBetween) {
    const QImage buttons = test::coordinateImage(48, 32);
    const QImage bar = test::coordinateImage(5, 7);
    SkinScrollBar& skinned = scrollbar(100, buttons, bar);
    owner.resize(60, 140);
    test::showAndWait(owner);
    EXPECT_EQ(skinned.up_rect(), QRect(0, 0, 16, 16));
    const QImage screen = test::onScreen(owner);
    for (int y = 0; y < 100; ++y) {
        for (int x = 0; x < 16; ++x) {
            const QRgb expected = y < 16    ? buttons.pixel(x, y)
                                  : y >= 84 ? buttons.pixel(x, 16 + y - 84)
                                            : bar.pixel(x % 5, (y - 16) % 7);
            ASSERT_EQ(screen.pixel(10 + x, 10 + y), expected) << x << ", " << y;
        }
    }
    // Pictures only: a click or a drag neither changes it nor reaches the owner.
    QTest::mousePress(owner.windowHandle(), Qt::LeftButton, {}, {15, 15});
    QTest::mouseMove(owner.windowHandle(), {15, 60});
    QTest::mouseRelease(owner.windowHandle(), Qt::LeftButton, {}, {15, 60});
    EXPECT_EQ(test::onScreen(owner), screen);
    EXPECT_TRUE(owner.presses.empty());
}

TEST_F(SkinScrollBarTest, OverlappingArrowsLeaveNoTrack) {
    const QImage buttons = test::coordinateImage(16, 32);
    SkinScrollBar& skinned = scrollbar(20, buttons, test::coordinateImage(4, 4));
    owner.resize(60, 60);
    test::showAndWait(owner);
    EXPECT_TRUE(skinned.track_rect().isEmpty());
    EXPECT_EQ(at(3, 3), buttons.pixel(3, 3));  // up arrow
    EXPECT_EQ(at(3, 4), buttons.pixel(3, 16)); // down arrow, drawn after, from row 4
    EXPECT_EQ(at(3, 19), buttons.pixel(3, 31));

    // Images that fail to load leave the plain window colour.
    EXPECT_FALSE(skinned.load_images(folder.file("none.bmp").string(), "none.bmp"));
    EXPECT_EQ(at(3, 3), skinned.palette().window().color().rgb());
}

} // namespace
} // namespace morvane
