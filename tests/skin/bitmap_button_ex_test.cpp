// The skinned button: which frame each state shows in horizontal and vertical strips, its
// outline taken from the key colour, and where clicks go.
#include "skin/bitmap_button_ex.h"
#include "skin/control_id.h"
#include "support/temp_folder.h"
#include "test_owner.h"

#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

namespace morvane {
namespace {

using test::kOwnerColour;

class BitmapButtonExTest : public testing::Test {
protected:
    void SetUp() override {
        owner.resize(240, 200);
        test::showAndWait(owner);
        // The pointer starts away from the button, wherever an earlier test left it.
        QTest::mouseMove(owner.windowHandle(), {230, 190});
    }

    // An owner-drawn button at (20, 30) showing strip, count frames.
    CBitmapButtonEx& button(const QImage& strip, int count, bool horizontal, QSize size,
                            bool owner_drawn = true) {
        test::writeBmp(strip, folder.file("strip.bmp"));
        auto* created = new CBitmapButtonEx(77, owner_drawn, &owner);
        created->setGeometry(QRect(QPoint(20, 30), size));
        created->show();
        loaded = created->LoadImageStrip(folder.file("strip.bmp").string(), count, horizontal);
        // Pending ordinary paints would show the normal frame over a hover frame.
        test::onScreen(owner);
        return *created;
    }

    // The on-screen pixels of the button at (20, 30) equal the strip's block at offset.
    void expectFrame(const QImage& strip, QPoint offset, QSize frame) {
        const QImage screen = test::onScreen(owner);
        for (int y = 0; y < frame.height(); ++y) {
            for (int x = 0; x < frame.width(); ++x) {
                ASSERT_EQ(screen.pixel(20 + x, 30 + y), strip.pixel(offset.x() + x, offset.y() + y))
                    << "button pixel " << x << ", " << y;
            }
        }
    }

    QPoint inWindow(int x, int y) const { return {20 + x, 30 + y}; }

    test::TempFolder folder;
    test::TestOwner owner;
    bool loaded = false;
};

TEST_F(BitmapButtonExTest, HorizontalStripShowsOneFramePerState) {
    const QImage strip = test::coordinateImage(160, 40);
    CBitmapButtonEx& skinned = button(strip, 4, true, {40, 40});
    ASSERT_TRUE(loaded);
    EXPECT_EQ(skinned.frameWidth(), 40);
    EXPECT_EQ(skinned.frameHeight(), 40);
    expectFrame(strip, {0, 0}, {40, 40});

    QWindow* window = owner.windowHandle();
    QTest::mouseMove(window, inWindow(10, 10));
    EXPECT_EQ(skinned.state(), CBitmapButtonEx::STATE_HOVER);
    expectFrame(strip, {40, 0}, {40, 40});
    skinned.repaint(); // an ordinary repaint after hover shows the normal frame
    expectFrame(strip, {0, 0}, {40, 40});
    QTest::mouseMove(window, inWindow(11, 11)); // hover again
    expectFrame(strip, {40, 0}, {40, 40});

    QTest::mousePress(window, Qt::LeftButton, {}, inWindow(10, 10));
    EXPECT_EQ(skinned.state(), CBitmapButtonEx::STATE_PRESSED);
    expectFrame(strip, {80, 0}, {40, 40});
    QTest::mouseRelease(window, Qt::LeftButton, {}, inWindow(10, 10));
    expectFrame(strip, {0, 0}, {40, 40}); // released: normal until the next hover

    skinned.setEnabled(false);
    expectFrame(strip, {120, 0}, {40, 40});
    QTest::mouseMove(window, inWindow(100, 100)); // leaving keeps the disabled frame
    expectFrame(strip, {120, 0}, {40, 40});
}

TEST_F(BitmapButtonExTest, VerticalStripStacksTheFrames) {
    const QImage strip = test::coordinateImage(40, 160);
    CBitmapButtonEx& skinned = button(strip, 4, false, {40, 40});
    EXPECT_EQ(skinned.frameHeight(), 40);
    QTest::mousePress(owner.windowHandle(), Qt::LeftButton, {}, inWindow(5, 5));
    expectFrame(strip, {0, 80}, {40, 40});
    QTest::mouseRelease(owner.windowHandle(), Qt::LeftButton, {}, inWindow(5, 5));
}

TEST_F(BitmapButtonExTest, ThreeFramesIn100ColumnsAre33WideAndLackADisabledFrame) {
    const QImage strip = test::coordinateImage(100, 20);
    CBitmapButtonEx& skinned = button(strip, 3, true, {40, 20});
    EXPECT_EQ(skinned.frameWidth(), 33);
    QTest::mouseMove(owner.windowHandle(), inWindow(3, 3));
    expectFrame(strip, {33, 0}, {33, 20});
    // Beyond the frame the button is not there: the owner shows.
    EXPECT_EQ(test::onScreen(owner).pixel(inWindow(35, 5)), kOwnerColour);

    // Three frames: the disabled state shows frame 0, not whatever lies past the strip.
    skinned.setEnabled(false);
    EXPECT_EQ(skinned.frameOffset(CBitmapButtonEx::STATE_DISABLED), QPoint(0, 0));
    expectFrame(strip, {0, 0}, {33, 20});
}

TEST_F(BitmapButtonExTest, KeyColouredPixelsBelongToTheOwner) {
    // A 20 x 20 frame whose left half is magenta.
    QImage strip = test::coordinateImage(80, 20);
    for (int frame = 0; frame < 4; ++frame) {
        for (int y = 0; y < 20; ++y) {
            for (int x = 0; x < 10; ++x) {
                strip.setPixel(frame * 20 + x, y, qRgb(255, 0, 255));
            }
        }
    }
    CBitmapButtonEx& skinned = button(strip, 4, true, {20, 20});
    QSignalSpy commands(&skinned, &CBitmapButtonEx::command);

    const QImage screen = test::onScreen(owner);
    EXPECT_EQ(screen.pixel(inWindow(4, 10)), kOwnerColour);
    EXPECT_EQ(screen.pixel(inWindow(15, 10)), strip.pixel(15, 10));

    QTest::mouseClick(owner.windowHandle(), Qt::LeftButton, {}, inWindow(4, 10));
    ASSERT_EQ(owner.presses.size(), 1u);
    EXPECT_EQ(owner.presses[0], inWindow(4, 10));
    EXPECT_EQ(commands.count(), 0);

    QTest::mouseClick(owner.windowHandle(), Qt::LeftButton, {}, inWindow(15, 10));
    EXPECT_EQ(owner.presses.size(), 1u);
    ASSERT_EQ(commands.count(), 1);
    EXPECT_EQ(commands.at(0).at(0).toInt(), 77);
    EXPECT_EQ(FindControl(&owner, 77), &skinned);
}

TEST_F(BitmapButtonExTest, AStripThatFailsToLoadShowsNothingAndTakesNoClicks) {
    auto* skinned = new CBitmapButtonEx(5, true, &owner);
    skinned->setGeometry(20, 30, 40, 40);
    skinned->show();
    QSignalSpy commands(skinned, &CBitmapButtonEx::command);
    EXPECT_FALSE(skinned->LoadImageStrip(folder.file("missing.bmp").string(), 4, true));
    EXPECT_EQ(skinned->frameWidth(), 0);
    EXPECT_EQ(test::onScreen(owner).pixel(inWindow(10, 10)), kOwnerColour);
    QTest::mouseClick(owner.windowHandle(), Qt::LeftButton, {}, inWindow(10, 10));
    EXPECT_EQ(owner.presses.size(), 1u);
    EXPECT_EQ(commands.count(), 0);
}

TEST_F(BitmapButtonExTest, WithoutOwnerDrawTheStyleDrawsTheFaceAndHoverPaintsOverIt) {
    const QImage strip = test::coordinateImage(160, 40);
    button(strip, 4, true, {40, 40}, false);
    EXPECT_NE(test::onScreen(owner).pixel(inWindow(20, 20)), strip.pixel(20, 20));
    QTest::mouseMove(owner.windowHandle(), inWindow(10, 10));
    expectFrame(strip, {40, 0}, {40, 40});
}

} // namespace
} // namespace morvane
