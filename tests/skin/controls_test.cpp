// The scrollbar picture, the centred image control and the etched separator.
#include "skin/img_ctrl.h"
#include "skin/separator.h"
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
        created->loadImages(folder.file("bar.bmp").string(), folder.file("buttons.bmp").string());
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
    EXPECT_EQ(skinned.upRect(), QRect(0, 0, 16, 16));
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
    EXPECT_TRUE(skinned.trackRect().isEmpty());
    EXPECT_EQ(at(3, 3), buttons.pixel(3, 3));  // up arrow
    EXPECT_EQ(at(3, 4), buttons.pixel(3, 16)); // down arrow, drawn after, from row 4
    EXPECT_EQ(at(3, 19), buttons.pixel(3, 31));

    // Images that fail to load leave the plain window colour.
    EXPECT_FALSE(skinned.loadImages(folder.file("none.bmp").string(), "none.bmp"));
    EXPECT_EQ(at(3, 3), skinned.palette().window().color().rgb());
}

class ImgCtrlTest : public testing::Test {
protected:
    // Shows a picture width x 10 in a control control_width x 40; gives the screen.
    QImage show(int control_width, int width) {
        test::writeBmp(test::coordinateImage(width, 10), folder.file("picture.bmp"));
        EXPECT_TRUE(control.LoadPicture(folder.file("picture.bmp").string()));
        control.resize(control_width, 40);
        test::showAndWait(control);
        return test::onScreen(control);
    }
    test::TempFolder folder;
    CImgCtrl control;
};

TEST_F(ImgCtrlTest, CentresASmallerPictureOnWhite) {
    const QImage screen = show(101, 50);
    EXPECT_EQ(screen.pixel(24, 20), qRgb(255, 255, 255));
    EXPECT_EQ(screen.pixel(25, 15), qRgb(0, 0, 99)); // picture pixel (0, 0) at (25, 15)
    EXPECT_EQ(screen.pixel(74, 24), qRgb(49, 9, 99));
    EXPECT_EQ(screen.pixel(75, 20), qRgb(255, 255, 255));
    EXPECT_EQ(screen.pixel(30, 14), qRgb(255, 255, 255));
}

TEST_F(ImgCtrlTest, CentresAndClipsALargerPicture) {
    const QImage screen = show(50, 101);
    EXPECT_EQ(screen.pixel(0, 15), qRgb(25, 0, 99)); // drawn from x = -25
    EXPECT_EQ(screen.pixel(49, 15), qRgb(74, 0, 99));

    EXPECT_FALSE(control.LoadPicture(folder.file("missing.jpg").string()));
    EXPECT_EQ(test::onScreen(control).pixel(0, 15), qRgb(255, 255, 255)); // the white field
}

class SeparatorTest : public testing::Test {
protected:
    QImage show(int width, int height, const QString& text, Qt::Alignment alignment = {}) {
        separator.setText(text);
        if (alignment) {
            separator.setAlignment(alignment);
        }
        separator.resize(width, height);
        test::showAndWait(separator);
        return test::onScreen(separator);
    }
    QRgb shadow() const { return separator.palette().color(QPalette::Dark).rgb(); }
    QRgb highlight() const { return separator.palette().color(QPalette::Light).rgb(); }
    QRgb face() const { return separator.palette().color(QPalette::Button).rgb(); }
    int textWidth(const QString& text) const {
        return QFontMetrics(separator.font()).horizontalAdvance(text);
    }
    CSeparator separator;
};

TEST_F(SeparatorTest, ATallSeparatorIsAVerticalLineWithoutText) {
    const QImage screen = show(14, 206, QStringLiteral("1"));
    const QRgb background = screen.pixel(2, 100);
    for (int y = 0; y < 205; ++y) {
        ASSERT_EQ(screen.pixel(7, y), shadow()) << y;
        ASSERT_EQ(screen.pixel(8, y), highlight()) << y;
        for (int x : {0, 3, 6, 9, 13}) {
            ASSERT_EQ(screen.pixel(x, y), background) << x << ", " << y;
        }
    }
}

TEST_F(SeparatorTest, AWideSeparatorIsAHorizontalLineInterruptedByItsPaddedLabel) {
    const QImage screen = show(200, 14, QStringLiteral("Ab"));
    const int label = textWidth(QStringLiteral("Ab  "));
    // The label's two trailing spaces interrupt the line too.
    EXPECT_EQ(screen.pixel(label - 2, 7), face());
    EXPECT_EQ(screen.pixel(label + 2, 7), shadow());
    EXPECT_EQ(screen.pixel(198, 7), shadow());
    EXPECT_EQ(screen.pixel(198, 8), highlight());
    EXPECT_EQ(screen.pixel(textWidth(QStringLiteral("Ab")) + 1, 1), face()); // text at the top
}

TEST_F(SeparatorTest, EmptyTextStillPadsTheLineASquareIsHorizontalACentredLabelCentres) {
    const QImage empty = show(200, 14, QString());
    EXPECT_EQ(empty.pixel(1, 7), face());
    EXPECT_EQ(empty.pixel(textWidth(QStringLiteral("  ")) + 2, 7), shadow());

    const QImage square = show(30, 30, QString());
    EXPECT_EQ(square.pixel(28, 15), shadow());
    EXPECT_EQ(square.pixel(28, 16), highlight());

    const QImage centred = show(200, 20, QStringLiteral("x"), Qt::AlignHCenter);
    EXPECT_EQ(centred.pixel(100, 10), face());
    EXPECT_EQ(centred.pixel(2, 10), shadow());
    EXPECT_EQ(centred.pixel(197, 10), shadow());
}

} // namespace
} // namespace morvane
