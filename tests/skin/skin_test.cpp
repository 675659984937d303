// SPDX-License-Identifier: GPL-3.0-or-later
// Reading Skin.xml: what is created from it, which attributes count, and how every kind of
// damage leaves the owner working with one line on stderr.
#include "skin/link_button.h"
#include "skin/readable_colour.h"
#include "skin/skin.h"
#include "skin/skin_button.h"
#include "support/temp_folder.h"
#include "test_owner.h"

#include <QSignalSpy>
#include <QTest>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace morvane {
namespace {

const QSize kTemplateSize(217, 174);

class SkinTest : public testing::Test {
protected:
    void SetUp() override {
        owner.paintWith(&skin);
        owner.resize(kTemplateSize);
        test::writeBmp(test::coordinateImage(120, 90), folder.file("back.bmp"));
        test::writeBmp(test::coordinateImage(80, 20), folder.file("strip.bmp"));
        test::writeBmp(test::coordinateImage(16, 32), folder.file("arrows.bmp"));
    }

    void writeSkin(const std::string& xml) {
        std::ofstream(folder.file("Skin.xml"), std::ios::binary) << xml;
    }
    // Loads the skin of the given window element body; stderr is kept in errors.
    bool load(const std::string& window_body,
              const std::string& window_attributes = "image=\"back.bmp\"") {
        writeSkin("<?xml version=\"1.0\"?>\n<!-- a skin -->\n<skin><window " + window_attributes +
                  ">" + window_body + "</window></skin>");
        return loadAsIs();
    }
    bool loadAsIs() {
        testing::internal::CaptureStderr();
        const bool loaded = skin.load(folder.path().string() + "/");
        skin.fit_owner();
        errors = testing::internal::GetCapturedStderr();
        return loaded;
    }
    // One line, naming the problem.
    void expectOneErrorLine(const std::string& about) const {
        EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 1) << errors;
        EXPECT_NE(errors.find("Morvane skin: "), std::string::npos) << errors;
        EXPECT_NE(errors.find(about), std::string::npos) << errors;
    }
    void expectUnskinned() const {
        EXPECT_TRUE(skin.controls().empty());
        EXPECT_TRUE(skin.background().is_null());
        EXPECT_EQ(owner.size(), kTemplateSize);
    }

    test::TempFolder folder;
    test::TestOwner owner;
    Skin skin{&owner};
    std::string errors;
};

constexpr const char* kButton =
    R"(<control type="button" id="1001" left="10" top="2" right="30" bottom="22" )"
    R"(image="strip.bmp" count="4"/>)";

TEST_F(SkinTest, SizesTheOwnerToTheBackgroundAndCreatesItsControls) {
    ASSERT_TRUE(
        load(std::string(kButton) +
             R"(<control type="scrollbar" id="7" left="100" top="20" right="116" bottom="80" )"
             R"(buttons_image="arrows.bmp" bar_image="strip.bmp"/>)"
             R"(<control type="previewwnd" id="8" left="5" top="40" right="95" bottom="85"/>)"));
    EXPECT_TRUE(errors.empty()) << errors;
    EXPECT_EQ(owner.size(), QSize(120, 90));
    // Preview and scrollbar placeholders make nothing: no skin's window scrolls.
    ASSERT_EQ(skin.controls().size(), 1u);
    SkinButton* button = skin.close_button();
    ASSERT_EQ(button, skin.controls()[0]);
    EXPECT_EQ(button->geometry(), QRect(10, 2, 20, 20));
    EXPECT_FALSE(button->is_owner_drawn());
    EXPECT_EQ(button->state_frame_size(), QSize(20, 20));
    EXPECT_EQ(skin.minimise_button(), nullptr);

    test::showAndWait(owner);
    EXPECT_EQ(test::onScreen(owner).pixel(60, 30), qRgb(60, 30, 99)); // the background
}

TEST_F(SkinTest, TypesAreExactAndOtherElementsAreSkipped) {
    ASSERT_TRUE(load(
        R"(<control type="Button" id="1" left="0" top="0" right="9" bottom="9" image="strip.bmp" )"
        R"(count="4"/>)"
        R"(<control id="2" left="0" top="0" right="9" bottom="9" image="strip.bmp" count="4"/>)"
        R"(<control type="slider" id="3" left="0" top="0" right="9" bottom="9"/>)"
        R"(<control type="button " id="4" left="0" top="0" right="9" bottom="9" image="strip.bmp" )"
        R"(count="4"/>)"
        "text and <!-- comments --> between elements" +
        std::string(kButton)));
    ASSERT_EQ(skin.controls().size(), 1u);
    EXPECT_EQ(skin.controls()[0], skin.close_button());
    EXPECT_TRUE(errors.empty()) << errors;
}

TEST_F(SkinTest, IgnoredAttributesChangeNothing) {
    ASSERT_TRUE(
        load(R"(<control type="button" id="5" left="10" top="2" right="30" bottom="22" )"
             R"(image="strip.bmp" count="4" Left="99" colour="red"><control type="button" id="6" )"
             R"(left="0" top="0" right="9" bottom="9" image="strip.bmp" count="4"/></control>)"
             R"(<control type="scrollbar" id="7" left="100" top="20" right="116" bottom="80" )"
             R"(buttons_image="arrows.bmp" bar_image="strip.bmp" thumb_image="nowhere.bmp" )"
             R"(thumb_resize_offset="-77"/>)",
             R"(resize_l="-5" resize_t="abc" resize_r="100000" image="back.bmp" resize_b="3")"));
    EXPECT_TRUE(errors.empty()) << errors;
    EXPECT_EQ(owner.size(), QSize(120, 90));
    ASSERT_EQ(skin.controls().size(), 1u); // the nested element is not a control
    EXPECT_EQ(skin.controls()[0]->geometry(), QRect(10, 2, 20, 20));
}

TEST_F(SkinTest, FlagsAndIntegersAreReadAsAtoiReadsThem) {
    ASSERT_TRUE(load(
        R"(<control type="button" id="1" left="0" top="0" right="40" bottom="40" )"
        R"(image="strip.bmp" count="4"/>)"
        R"(<control type="button" id="2" left="0" top="0" right="40" bottom="40" )"
        R"(image="strip.bmp" count="4" hor="0" owndraw="2"/>)"
        R"(<control type="button" id="abc" left=" +12px" top="-3" right="9999999999" bottom="20" )"
        R"(image="strip.bmp" count="4" hor="yes"/>)"));
    std::vector<SkinButton*> created;
    for (QWidget* control : skin.controls()) {
        created.push_back(qobject_cast<SkinButton*>(control));
    }
    ASSERT_EQ(created.size(), 3u);
    EXPECT_EQ(created[0]->state_frame_size(), QSize(20, 20)); // no "hor": side by side
    EXPECT_FALSE(created[0]->is_owner_drawn());
    EXPECT_EQ(created[1]->state_frame_size(), QSize(80, 5)); // hor="0": stacked
    EXPECT_TRUE(created[1]->is_owner_drawn());
    EXPECT_EQ(created[2]->x(), 12);
    EXPECT_EQ(created[2]->y(), -3);
    EXPECT_EQ(created[2]->state_frame_size().height(), 5); // "yes" reads as 0
    // No id of a command: none of them carries one.
    EXPECT_EQ(skin.minimise_button(), nullptr);
    EXPECT_EQ(skin.close_button(), nullptr);
    EXPECT_EQ(skin.settings_button(), nullptr);
}

TEST_F(SkinTest, OfDuplicateIdsTheFirstButtonCarriesTheCommand) {
    ASSERT_TRUE(load(R"(<control type="button" id="1002" left="0" top="0" right="20" bottom="20" )"
                     R"(image="strip.bmp" count="4" owndraw="1"/>)"
                     R"(<control type="button" id="1002" left="40" top="0" right="60" bottom="20" )"
                     R"(image="strip.bmp" count="4" owndraw="1"/>)"));
    ASSERT_EQ(skin.controls().size(), 2u);
    ASSERT_EQ(skin.settings_button(), skin.controls()[0]);
    QSignalSpy clicks(skin.settings_button(), &QAbstractButton::clicked);
    test::showAndWait(owner);
    QTest::mouseClick(owner.windowHandle(), Qt::LeftButton, {}, {10, 10});
    QTest::mouseClick(owner.windowHandle(), Qt::LeftButton, {}, {50, 10});
    EXPECT_EQ(clicks.count(), 1);
}

TEST_F(SkinTest, OnlyTheRootsFirstChildIsTheWindow) {
    writeSkin("<skin><window image=\"back.bmp\"/><other>" + std::string(kButton) +
              "</other></skin>");
    ASSERT_TRUE(loadAsIs());
    EXPECT_TRUE(skin.controls().empty());
    EXPECT_EQ(owner.size(), QSize(120, 90));
}

TEST_F(SkinTest, AnUnusableFileLeavesTheOwnerUnskinned) {
    const struct {
        const char* content; // null: no file at all
        const char* reported;
    } cases[] = {
        {nullptr, "no such file"},
        {"", "not well-formed"},
        {"<skin><window image=\"back.bmp\">", "not well-formed"},
        {"<skin><window image=\"back.bmp\" image=\"back.bmp\"/></skin>", "not well-formed"},
        {"<?xml version=\"1.0\"?><!-- nothing else -->", "no root element"},
        {"<skin image=\"back.bmp\"/>", "no window element"},
        {"<skin>just text</skin>", "no window element"},
    };
    for (const auto& damaged : cases) {
        SCOPED_TRACE(damaged.content ? damaged.content : "(no file)");
        std::filesystem::remove(folder.file("Skin.xml"));
        if (damaged.content != nullptr) {
            writeSkin(damaged.content);
        }
        EXPECT_FALSE(loadAsIs());
        expectOneErrorLine(damaged.reported);
        expectUnskinned();
    }
    std::filesystem::remove(folder.file("Skin.xml"));
    std::filesystem::create_directory(folder.file("Skin.xml"));
    EXPECT_FALSE(loadAsIs());
    expectOneErrorLine("not a regular file");
    // A named pipe would block a reader until someone writes to it.
    std::filesystem::remove(folder.file("Skin.xml"));
    ASSERT_EQ(mkfifo(folder.file("Skin.xml").c_str(), 0600), 0);
    EXPECT_FALSE(loadAsIs());
    expectOneErrorLine("not a regular file");
}

TEST_F(SkinTest, AControlMissingWhatItNeedsIsSkippedAlone) {
    const struct {
        const char* element;
        const char* reported;
    } cases[] = {
        {R"(<control type="button" id="3" left="0" top="0" right="9" image="strip.bmp" )"
         R"(count="4"/>)",
         "\"bottom\""},
        {R"(<control type="button" id="3" left="0" top="0" right="9" bottom="9" count="4"/>)",
         "\"image\""},
        {R"(<control type="button" id="3" left="0" top="0" right="9" bottom="9" )"
         R"(image="strip.bmp"/>)",
         "\"count\""},
        {R"(<control type="button" id="3" left="0" top="0" right="9" bottom="9" image="strip.bmp" )"
         R"(count="0"/>)",
         "\"count\""},
    };
    for (const auto& incomplete : cases) {
        SCOPED_TRACE(incomplete.element);
        ASSERT_TRUE(load(incomplete.element + std::string(kButton)));
        expectOneErrorLine(incomplete.reported);
        ASSERT_EQ(skin.controls().size(), 1u);
        EXPECT_EQ(skin.controls()[0], skin.close_button());
    }
}

TEST_F(SkinTest, OverlongPathsAreRefused) {
    const std::string long_name(5000, 'n');
    ASSERT_TRUE(load(
        R"(<control type="button" id="3" left="0" top="0" right="9" bottom="9" count="4" image=")" +
        long_name + "\"/>" + kButton));
    expectOneErrorLine("path longer than");
    EXPECT_EQ(skin.controls().size(), 1u);

    // A skin folder that long cannot hold Skin.xml at all.
    testing::internal::CaptureStderr();
    EXPECT_FALSE(skin.load(folder.path().string() + "/" + long_name + "/"));
    errors = testing::internal::GetCapturedStderr();
    expectOneErrorLine("path longer than");
    EXPECT_TRUE(skin.controls().empty());
}

TEST_F(SkinTest, MissingImagesAreReportedAndTheControlsStay) {
    ASSERT_TRUE(load(
        R"(<control type="button" id="3" left="0" top="0" right="9" bottom="9" image="gone.bmp" )"
        R"(count="4"/>)",
        R"(image="gone too.bmp")"));
    EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 2) << errors;
    EXPECT_NE(errors.find("gone too.bmp"), std::string::npos);
    EXPECT_NE(errors.find("gone.bmp"), std::string::npos);
    EXPECT_EQ(owner.size(), kTemplateSize);
    EXPECT_EQ(skin.controls().size(), 1u);

    ASSERT_TRUE(load(kButton, "")); // no background named at all
    EXPECT_TRUE(errors.empty()) << errors;
    EXPECT_EQ(owner.size(), kTemplateSize);
}

TEST_F(SkinTest, ControlsGoWithTheSkinOrWithTheOwner) {
    ASSERT_TRUE(load(kButton));
    QPointer<QWidget> button = skin.close_button();
    {
        auto* other_owner = new test::TestOwner;
        Skin short_lived(other_owner);
        ASSERT_TRUE(short_lived.load(folder.path().string()));
        delete other_owner; // the owner goes first: the skin must not delete its controls again
    }
    ASSERT_TRUE(loadAsIs()); // loading again replaces the first controls
    EXPECT_TRUE(button.isNull());
    EXPECT_EQ(skin.controls().size(), 1u);
}

// A round button: a strip of four 20 x 20 frames, each a disc of its own colour on magenta.
QImage roundStrip(const std::vector<QRgb>& colours) {
    QImage strip(20 * static_cast<int>(colours.size()), 20, QImage::Format_RGB32);
    strip.fill(qRgb(255, 0, 255));
    for (int frame = 0; frame < static_cast<int>(colours.size()); ++frame) {
        for (int y = 0; y < 20; ++y) {
            for (int x = 0; x < 20; ++x) {
                if ((x - 9.5) * (x - 9.5) + (y - 9.5) * (y - 9.5) < 64) {
                    strip.setPixel(frame * 20 + x, y, colours[static_cast<std::size_t>(frame)]);
                }
            }
        }
    }
    return strip;
}

TEST_F(SkinTest, KeyColourIsTransparentAndButtonsShowTheirState) {
    const std::vector<QRgb> frames = {qRgb(200, 0, 0), qRgb(0, 200, 0), qRgb(0, 0, 200),
                                      qRgb(90, 90, 90)};
    test::writeBmp(roundStrip(frames), folder.file("round.bmp"));
    ASSERT_TRUE(load(R"(<control type="button" id="1000" left="30" top="30" right="50" )"
                     R"(bottom="50" image="round.bmp" count="4" owndraw="1"/>)"));
    SkinButton* button = skin.minimise_button();
    ASSERT_NE(button, nullptr);
    QSignalSpy clicks(button, &QAbstractButton::clicked);
    test::showAndWait(owner);
    const auto centre = [&] { return test::onScreen(owner).pixel(40, 40); };
    const auto edge = [&] { return test::onScreen(owner).pixel(32, 40); };
    EXPECT_EQ(centre(), frames[0]);
    EXPECT_EQ(edge(), frames[0]);
    EXPECT_EQ(test::onScreen(owner).pixel(31, 31), qRgb(31, 31, 99)); // the background

    // A click on a transparent corner belongs to the owner, one on the disc to the button.
    QTest::mouseClick(owner.windowHandle(), Qt::LeftButton, {}, {31, 31});
    EXPECT_EQ(owner.presses, std::vector<QPoint>{QPoint(31, 31)});
    EXPECT_EQ(clicks.count(), 0);
    QTest::mouseMove(owner.windowHandle(), {40, 40});
    ASSERT_TRUE(QTest::qWaitFor([&] { return button->underMouse(); }, 2000));
    EXPECT_EQ(centre(), frames[1]);
    QTest::mousePress(owner.windowHandle(), Qt::LeftButton, {}, {40, 40});
    EXPECT_EQ(centre(), frames[2]);
    QTest::mouseRelease(owner.windowHandle(), Qt::LeftButton, {}, {40, 40});
    EXPECT_EQ(clicks.count(), 1);
    button->setEnabled(false);
    EXPECT_EQ(centre(), frames[3]);
    button->setEnabled(true);

    // The keyboard reaches it and shows it as the mouse does, with a ring along its edge.
    QTest::mouseMove(owner.windowHandle(), {100, 80});
    button->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(button->focusPolicy(), Qt::TabFocus);
    EXPECT_EQ(centre(), frames[1]);
    EXPECT_EQ(edge(), button->palette().color(QPalette::Highlight).rgb());
    QTest::keyClick(button, Qt::Key_Space);
    EXPECT_EQ(clicks.count(), 2);

    // Without a disabled frame, a disabled button is its first frame faded into the window.
    test::writeBmp(roundStrip({frames[0], frames[1], frames[2]}), folder.file("round.bmp"));
    ASSERT_TRUE(load(R"(<control type="button" id="1000" left="30" top="30" right="50" )"
                     R"(bottom="50" image="round.bmp" count="3" owndraw="1"/>)"));
    skin.minimise_button()->setEnabled(false);
    const QColor faded = QColor::fromRgb(centre());
    EXPECT_GT(faded.red(), 31 + 20);
    EXPECT_LT(faded.red(), 200 - 20);
    EXPECT_GT(faded.blue(), 20);
}

TEST_F(SkinTest, TheWindowTakesTheShapeOfItsBackground) {
    QImage back = test::coordinateImage(120, 90);
    for (int y = 0; y < 10; ++y) {
        for (int x = 0; x < 10; ++x) {
            back.setPixel(x, y, qRgb(255, 0, 255));
        }
    }
    test::writeBmp(back, folder.file("back.bmp"));
    ASSERT_TRUE(load(""));
    EXPECT_FALSE(owner.mask().contains(QPoint(5, 5)));
    EXPECT_TRUE(owner.mask().contains(QPoint(10, 5)));
    EXPECT_TRUE(owner.mask().contains(QPoint(119, 89)));
}

TEST(LinkButtonTest, ItsTextStandsOutFromWhatItIsDrawnOnWhateverTheTheme) {
    const struct {
        const char* theme;
        QColor link, ground;
        bool theme_colour_kept;
    } cases[] = {
        {"dark: a blue 4.2:1 on its grey", QColor(0x30, 0x8c, 0xc6), QColor(0x24, 0x24, 0x24),
         false},
        {"dark, on a lighter grey", QColor(0x30, 0x8c, 0xc6), QColor(0x35, 0x35, 0x35), false},
        {"light: readable as it is", QColor(0x00, 0x00, 0xff), QColor(0xff, 0xff, 0xff), true},
        {"light, a pale link", QColor(0x7f, 0xb2, 0xf0), QColor(0xef, 0xef, 0xef), false},
    };
    for (const auto& each : cases) {
        SCOPED_TRACE(each.theme);
        LinkButton link(QStringLiteral("Show the files not converted"));
        QPalette palette = link.palette();
        palette.setColor(QPalette::Link, each.link);
        palette.setColor(QPalette::Window, each.ground);
        link.setPalette(palette);
        link.setAutoFillBackground(true);
        link.resize(link.sizeHint());
        const QImage shot = link.grab().toImage();
        // The text's own colour: the pixel that stands out most.
        QColor text = each.ground;
        for (int y = 0; y < shot.height(); ++y) {
            for (int x = 0; x < shot.width(); ++x) {
                const QColor pixel = shot.pixelColor(x, y);
                if (contrast_ratio(pixel, each.ground) > contrast_ratio(text, each.ground)) {
                    text = pixel;
                }
            }
        }
        EXPECT_GE(contrast_ratio(text, each.ground), 4.5) << text.name().toStdString();
        EXPECT_EQ(text == each.link, each.theme_colour_kept) << text.name().toStdString();
    }
}

} // namespace
} // namespace morvane
