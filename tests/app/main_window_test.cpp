// The desktop program end to end on Qt's offscreen platform: the skinned main window, real
// drops on the conversion window, real conversions, the stop button, the end of a batch.
#include "app/quenda_dlg.h"
#include "conversion_window/conver_wnd.h"
#include "jobs/string_table.h"
#include "skin/bitmap_button_ex.h"
#include "skin/control_id.h"
#include "support/media_info.h"
#include "support/media_presets.h"
#include "support/media_writer.h"
#include "support/recording_shell.h"
#include "support/temp_folder.h"

#include <QDropEvent>
#include <QMimeData>
#include <QSignalSpy>
#include <QTest>
#include <QUrl>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <set>

namespace morvane {
namespace {

namespace fs = std::filesystem;
using Kind = test::RecordingShell::Call::Kind;

// Sends a real drag-enter and drop of local files, as a file browser does.
void drop_files(QWidget* target, const std::vector<std::string>& paths) {
    QMimeData data;
    QList<QUrl> urls;
    for (const std::string& path : paths) {
        urls.push_back(QUrl::fromLocalFile(QString::fromStdString(path)));
    }
    data.setUrls(urls);
    const QPointF where(target->width() / 2.0, target->height() / 2.0);
    QDragEnterEvent enter(where.toPoint(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    ASSERT_TRUE(enter.isAccepted());
    QDropEvent drop(where, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
    ASSERT_TRUE(drop.isAccepted());
}

class MainWindowTest : public testing::Test {
protected:
    MainWindowTest() {
        fs::copy(fs::path(MORVANE_ASSETS_DIR), module_folder.path(), fs::copy_options::recursive);
        location.module_directory = module_folder.path().string() + "/";
        location.config_directory = module_folder.path().string() + "/";
        location.default_output_folder = output_folder.path().string() + "/";
    }

    std::unique_ptr<CQuendaDlg> open_window() {
        auto window = std::make_unique<CQuendaDlg>(location, shell);
        window->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        return window;
    }

    void write_config(const std::string& text) {
        std::ofstream(location.config_file()) << "[Common]\n" << text;
    }

    std::string tone(const std::string& name) {
        test::write_media(media.file(name), test::wav_pcm(44100, 2, 0.3));
        return media.file(name).string();
    }

    std::string long_clip(const std::string& name) {
        test::write_media(media.file(name), test::mp4_h264_aac(640, 480, {25, 1}, 40.0));
        return media.file(name).string();
    }

    std::set<std::string> outputs() const {
        std::set<std::string> names;
        for (const auto& entry : fs::directory_iterator(output_folder.path())) {
            names.insert(entry.path().filename().string());
        }
        return names;
    }

    static bool settings_button_enabled(const CQuendaDlg& window) {
        const QWidget* button = FindControl(&window, CQuendaDlg::settings_id);
        return button != nullptr && button->isEnabled();
    }

    test::TempFolder module_folder;
    test::TempFolder output_folder;
    test::TempFolder media;
    SettingsLocation location;
    test::RecordingShell shell;
};

TEST_F(MainWindowTest, FirstStartShowsThePhoneInASkinnedWindow) {
    auto window = open_window();
    CConverWnd* conversion = window->conversion_window();
    ASSERT_NE(conversion, nullptr);

    EXPECT_EQ(window->size(), QSize(static_cast<int>(window->background().GetWidth()),
                                    static_cast<int>(window->background().GetHeight())));
    EXPECT_EQ(conversion->geometry(), window->rect().adjusted(2, 19, -2, -2));
    EXPECT_EQ(window->settings().device_index, 0);
    EXPECT_EQ(conversion->device().display_name, "iPhone,iPod touch");
    EXPECT_TRUE(window->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(window->windowTitle(), "Morvane");
    EXPECT_FALSE(conversion->stop_button()->isVisible());
    EXPECT_EQ(conversion->status_text(), strings::idle_prompt);

    // The phone's picture, centred at y = 2 on white, and the prompt in the strip.
    Image phone;
    ASSERT_TRUE(phone.Load(location.module_directory + "devices/iPhone.jpg"));
    const QImage shot = conversion->grab().toImage();
    shot.save(QString(MORVANE_ARTEFACT_DIR) + "/main-window-conversion.png");
    window->grab().save(QString(MORVANE_ARTEFACT_DIR) + "/main-window.png");
    const int left = (conversion->width() - static_cast<int>(phone.GetWidth())) / 2;
    for (int y : {10, 100, 200}) {
        for (int x : {30, 110, 190}) {
            const RgbQuad expected = phone.GetPixelColor(x, y);
            const QColor seen = shot.pixelColor(left + x, 2 + y);
            EXPECT_EQ(seen, QColor(expected.red, expected.green, expected.blue)) << x << "," << y;
        }
    }
    EXPECT_EQ(shot.pixelColor(0, 1), QColor(Qt::white));
    const QRect strip = conversion->status_strip();
    int dark_in_strip = 0;
    for (int y = strip.top(); y <= strip.bottom(); ++y) {
        for (int x = 0; x < shot.width(); ++x) {
            dark_in_strip += shot.pixelColor(x, y).lightness() < 128 ? 1 : 0;
        }
    }
    EXPECT_GT(dark_in_strip, 20); // the prompt's letters
}

TEST_F(MainWindowTest, DroppedFilesConvertAsOneBatchAndTheFolderOpens) {
    auto window = open_window();
    CConverWnd* conversion = window->conversion_window();
    std::set<QString> counters;
    std::set<QString> percentages;
    bool button_disabled_while_converting = true;
    QObject::connect(conversion, &CConverWnd::statusChanged, [&] {
        if (conversion->converting()) {
            counters.insert(conversion->counter_text());
            percentages.insert(conversion->status_text());
        }
    });
    QObject::connect(conversion, &CConverWnd::conversionBegin, [&] {
        button_disabled_while_converting =
            button_disabled_while_converting && !settings_button_enabled(*window);
    });
    QSignalSpy ends(conversion, &CConverWnd::conversionEnd);

    drop_files(conversion, {tone("a.wav"), tone("b.wav"), tone("c.wav")});
    ASSERT_TRUE(QTest::qWaitFor([&] { return ends.count() == 1; }, 60000));

    EXPECT_EQ(counters, (std::set<QString>{" 1/3", " 2/3", " 3/3"}));
    EXPECT_TRUE(percentages.count("100%"));
    EXPECT_TRUE(button_disabled_while_converting);
    EXPECT_TRUE(settings_button_enabled(*window));
    EXPECT_EQ(outputs(), (std::set<std::string>{"a.mp3", "b.mp3", "c.mp3"}));
    ASSERT_TRUE(QTest::qWaitFor([&] { return shell.count(Kind::open_folder) == 1; }, 10000));
    EXPECT_EQ(shell.calls()[0].argument, location.default_output_folder);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !conversion->converting(); }, 10000));
    EXPECT_FALSE(conversion->stop_button()->isVisible());
    EXPECT_EQ(conversion->status_text(), strings::idle_prompt);
}

TEST_F(MainWindowTest, FilesDroppedDuringAConversionJoinTheBatch) {
    auto window = open_window();
    CConverWnd* conversion = window->conversion_window();
    const std::vector<std::string> later = {tone("d.wav"), tone("e.wav")};
    bool dropped = false;
    QObject::connect(conversion, &CConverWnd::statusChanged, [&] {
        if (!dropped && conversion->converting() && conversion->counter_text() == " 2/3") {
            dropped = true;
            drop_files(conversion, later);
        }
    });
    QSignalSpy ends(conversion, &CConverWnd::conversionEnd);
    drop_files(conversion, {tone("a.wav"), long_clip("b.mp4"), tone("c.wav")});
    ASSERT_TRUE(QTest::qWaitFor([&] { return ends.count() == 1; }, 120000));
    EXPECT_TRUE(dropped);
    EXPECT_EQ(conversion->counter_text(), " 5/5");
    EXPECT_EQ(outputs().size(), 5u);

    // A drop as the batch ends is not lost: it starts the next batch.
    drop_files(conversion, {tone("f.wav")});
    ASSERT_TRUE(QTest::qWaitFor([&] { return ends.count() == 2; }, 60000));
    EXPECT_EQ(outputs().size(), 6u);
}

TEST_F(MainWindowTest, StopButtonEndsTheBatchWithACompleteShorterFile) {
    auto window = open_window();
    CConverWnd* conversion = window->conversion_window();
    QSignalSpy ends(conversion, &CConverWnd::conversionEnd);
    QObject::connect(conversion, &CConverWnd::conversionBegin, [&] {
        CBitmapButtonEx* stop = conversion->stop_button();
        ASSERT_TRUE(stop->isVisible());
        QTest::mouseClick(stop, Qt::LeftButton, {},
                          QPoint(stop->frameWidth() / 2, stop->frameHeight() / 2));
    });
    drop_files(conversion, {long_clip("long.mp4"), tone("never.wav")});
    ASSERT_TRUE(QTest::qWaitFor([&] { return ends.count() == 1; }, 120000));

    EXPECT_EQ(outputs(), std::set<std::string>{"long.mp4"});
    const test::MediaInfo info = test::inspect_media(output_folder.file("long.mp4"));
    EXPECT_TRUE(info.read_error.empty());
    EXPECT_LT(info.stream(AVMEDIA_TYPE_VIDEO).end_seconds(), 39.0);
    EXPECT_FALSE(conversion->stop_button()->isVisible());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !conversion->converting(); }, 10000));
    EXPECT_EQ(conversion->status_text(), strings::idle_prompt);
}

TEST_F(MainWindowTest, RefusedFilesAreShownWhenTheBatchEnds) {
    auto window = open_window();
    CConverWnd* conversion = window->conversion_window();
    std::vector<FailedFile> shown;
    conversion->set_failed_files_dialog(
        [&](QWidget*, const std::vector<FailedFile>& failed) { shown = failed; });
    const std::string notes = media.file("notes.txt").string();
    { std::ofstream(notes) << "not media"; }
    drop_files(conversion, {notes, media.path().string()});
    ASSERT_TRUE(QTest::qWaitFor([&] { return shown.size() == 2; }, 60000));
    EXPECT_EQ(shown[0].path, notes);
    EXPECT_EQ(shown[1].path, media.path().string());
    EXPECT_TRUE(outputs().empty());
}

TEST_F(MainWindowTest, HandEditedSettingsAreTakenSafely) {
    write_config("DeviceIndex=7\nTopmost=0\nOpenOutput=0\n");
    auto window = open_window();
    EXPECT_EQ(window->settings().device_index, 0);
    EXPECT_EQ(window->conversion_window()->device().display_name, "iPhone,iPod touch");
    EXPECT_FALSE(window->windowFlags() & Qt::WindowStaysOnTopHint);
    window->set_topmost(true);
    EXPECT_TRUE(window->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_TRUE(window->isVisible());
}

TEST_F(MainWindowTest, CloseButtonEndsTheProgramAndSavesTheSettings) {
    auto window = open_window();
    QWidget* close = FindControl(window.get(), CQuendaDlg::close_id);
    ASSERT_NE(close, nullptr);
    QTest::mouseClick(close, Qt::LeftButton, {}, close->rect().center());
    EXPECT_EQ(window->result(), QDialog::Accepted);
    EXPECT_FALSE(window->isVisible());
    window.reset();
    std::ifstream file(location.config_file());
    const std::string text((std::istreambuf_iterator<char>(file)), {});
    for (const char* key :
         {"OutputFolder=", "Shutdown=0", "OpenOutput=1", "Topmost=1", "DeviceIndex=0"}) {
        EXPECT_NE(text.find(key), std::string::npos) << key;
    }
}

TEST_F(MainWindowTest, DraggingTheBandMovesTheWindowButNotTheConversionWindow) {
    auto window = open_window();
    const QPoint start = window->pos();
    QTest::mousePress(window.get(), Qt::LeftButton, {}, QPoint(60, 8));
    QTest::mouseMove(window.get(), QPoint(90, 28));
    QTest::mouseRelease(window.get(), Qt::LeftButton, {}, QPoint(90, 28));
    EXPECT_EQ(window->pos(), start + QPoint(30, 20));

    CConverWnd* conversion = window->conversion_window();
    const QPoint moved = window->pos();
    QTest::mousePress(conversion, Qt::LeftButton, {}, QPoint(50, 50));
    QTest::mouseMove(conversion, QPoint(80, 80));
    QTest::mouseRelease(conversion, Qt::LeftButton, {}, QPoint(80, 80));
    EXPECT_EQ(window->pos(), moved);
}

} // namespace
} // namespace morvane
