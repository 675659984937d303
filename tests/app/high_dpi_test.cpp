// SPDX-License-Identifier: GPL-3.0-or-later
// The main window on a screen of device pixel ratio 2 (Qt's scale factor 2 on the
// offscreen platform): twice the skin's size in device pixels, drawn with the skin's @2x
// art, and with a skin that has none, with its 1x art scaled. The screen is a laptop's
// 1280x800, so 640x400 in Qt's pixels.
#include "main_window_fixture.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QListWidget>
#include <QPixmap>
#include <QScreen>
#include <QTest>
#include <filesystem>
#include <gtest/gtest.h>

extern "C" {
#include <libavutil/log.h>
}

namespace morvane {
namespace {

namespace fs = std::filesystem;

class HighDpiTest : public test::MainWindowFixture {
protected:
    QImage skin_file(const char* name) const {
        return QImage(QString::fromStdString(location.data_folder + "Skins/" + name))
            .convertToFormat(QImage::Format_RGB32);
    }
};

TEST_F(HighDpiTest, TheWindowIsTwiceTheSkinInDevicePixelsAndUsesTheDoubleArt) {
    auto window = open_window();
    ASSERT_EQ(window->devicePixelRatio(), 2.0);
    const QImage normal = skin_file("background.bmp");
    const QImage doubled = skin_file("background@2x.bmp");
    ASSERT_EQ(window->size(), normal.size());

    const QImage shot = window->grab().toImage().convertToFormat(QImage::Format_RGB32);
    shot.save(QString(MORVANE_ARTEFACT_DIR) + "/main-window@2x.png");
    ASSERT_EQ(shot.size(), normal.size() * 2);
    // The title band, device pixel for device pixel, is the @2x art, not the 1x scaled.
    int from_double_art = 0;
    int differs_from_scaled = 0;
    for (int y = 0; y < 36; ++y) {
        for (int x = 0; x < 360; ++x) {
            from_double_art += shot.pixel(x, y) == doubled.pixel(x, y) ? 1 : 0;
            differs_from_scaled += doubled.pixel(x, y) != normal.pixel(x / 2, y / 2) ? 1 : 0;
        }
    }
    EXPECT_EQ(from_double_art, 36 * 360);
    EXPECT_GT(differs_from_scaled, 500);

    // The skin's buttons too: the close button's top-left device pixel row.
    const QRect close = window->skin().close_button()->geometry();
    const QImage strip = skin_file("close@2x.bmp");
    int button_pixels = 0;
    for (int y = 0; y < close.height() * 2; ++y) {
        for (int x = 0; x < close.width() * 2; ++x) {
            const QRgb art = strip.pixel(x, y);
            if (qRed(art) == 255 && qGreen(art) == 0 && qBlue(art) == 255) {
                continue;
            }
            ++button_pixels;
            ASSERT_EQ(shot.pixel(close.x() * 2 + x, close.y() * 2 + y), art) << x << "," << y;
        }
    }
    EXPECT_GT(button_pixels, 100);
}

TEST_F(HighDpiTest, ASkinWithoutDoubleArtStillWorks) {
    for (const auto& entry : fs::directory_iterator(module_folder.file("Skins"))) {
        if (entry.path().filename().string().find("@2x") != std::string::npos) {
            fs::remove(entry.path());
        }
    }
    auto window = open_window();
    const QImage normal = skin_file("background.bmp");
    ASSERT_EQ(window->size(), normal.size());
    const QImage shot = window->grab().toImage().convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(shot.size(), normal.size() * 2);
    EXPECT_EQ(shot.pixel(2 * 100 + 1, 2 * 260 + 1), normal.pixel(100, 260));
    EXPECT_NE(window->skin().close_button(), nullptr);
    EXPECT_FALSE(window->skin().background().has_double_art());
}

TEST_F(HighDpiTest, TheSettingsDialogFitsTheScreenAndShowsTheDoubleDevicePictures) {
    auto window = open_window();
    window->open_settings();
    QDialog* dialog = window->settings_dialog();
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog));
    const QRect screen = dialog->screen()->availableGeometry();
    ASSERT_EQ(screen.size(), QSize(640, 400));
    EXPECT_TRUE(screen.contains(dialog->frameGeometry()))
        << dialog->frameGeometry().width() << "x" << dialog->frameGeometry().height();
    for (QAbstractButton* button : dialog->findChildren<QDialogButtonBox*>().at(0)->buttons()) {
        EXPECT_TRUE(screen.contains(QRect(button->mapToGlobal(QPoint(0, 0)), button->size())))
            << button->text().toStdString();
    }

    auto* pages = dialog->findChild<QListWidget*>("page_list");
    pages->setCurrentRow(1);
    const QPixmap picture = dialog->findChild<QLabel*>("picture")->pixmap();
    EXPECT_EQ(picture.devicePixelRatio(), 2.0);
    EXPECT_EQ(
        picture.size(),
        QImage(QString::fromStdString(location.data_folder + "devices/iPhone@2x.jpg")).size());
    dialog->close();
}

} // namespace
} // namespace morvane

int main(int argc, char** argv) {
    // Qt's offscreen platform takes its screens from a file.
    const QString screens = QDir::temp().filePath(
        QStringLiteral("morvane-1280x800-%1.json").arg(QCoreApplication::applicationPid()));
    QFile file(screens);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(R"({"screens": [{"name": "laptop", "x": 0, "y": 0, "width": 1280,
                      "height": 800, "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})") < 0) {
        return 2;
    }
    file.close();
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + QFile::encodeName(screens));
    qputenv("QT_SCALE_FACTOR", "2");
    av_log_set_level(AV_LOG_ERROR);
    testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    const int failed = RUN_ALL_TESTS();
    QFile::remove(screens);
    return failed;
}
