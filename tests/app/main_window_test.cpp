// SPDX-License-Identifier: GPL-3.0-or-later
// The desktop program on Qt's offscreen platform, driven by real events: the skinned main
// window, its keys, the chooser, drops and drag-over, real conversions with their progress,
// the stop button, the summary, the end of a batch (folder, failed files, power-off), a
// player that comes and goes; the percentage over the progress bar's fill, readable in a
// light theme and a dark one.
#include "app/power_off_notice.h"
#include "conversion_window/announcer.h"
#include "conversion_window/conversion_controller.h"
#include "conversion_window/drop_area.h"
#include "conversion_window/file_choosers.h"
#include "conversion_window/progress_panel.h"
#include "jobs/input_collector.h"
#include "main_window_fixture.h"
#include "players/player_watcher.h"
#include "skin/link_button.h"
#include "skin/readable_colour.h"
#include "skin/skin_button.h"
#include "support/media_info.h"
#include "support/temp_folder.h"

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDragEnterEvent>
#include <QLabel>
#include <QMessageBox>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <filesystem>
#include <fstream>
#include <optional>
#include <vector>

namespace morvane {
namespace {

namespace fs = std::filesystem;
using Kind = test::RecordingShell::Call::Kind;

class MainWindowTest : public test::MainWindowFixture {
protected:
    // Waits for the end of the next batch of the window; its summary.
    static BatchSummary wait_for_batch(MainWindow& window, int timeout_ms = 120000) {
        std::optional<BatchSummary> summary;
        const QMetaObject::Connection connection =
            QObject::connect(window.conversion(), &ConversionController::batch_finished,
                             [&](const BatchSummary& finished) { summary = finished; });
        EXPECT_TRUE(QTest::qWaitFor([&] { return summary.has_value(); }, timeout_ms));
        QObject::disconnect(connection);
        return summary.value_or(BatchSummary{});
    }
};

// Connects a folder laid out as a player, pulls it out and ejects it, where UDisks2 would tell
// of a real one.
class StandInPlayerWatcher : public PlayerWatcher {
public:
    std::vector<PlayerRoot> players() const override { return players_; }
    bool can_eject() const override { return true; }
    void eject(const PlayerRoot&) override {
        ++ejects;
        pull_out();
        emit eject_finished({});
    }
    int ejects = 0;
    void plug_in(const fs::path& folder) {
        players_ = {find_player_root(folder.string()).value()};
        emit players_changed();
    }
    void pull_out() {
        players_.clear();
        emit players_changed();
    }

private:
    std::vector<PlayerRoot> players_;
};

TEST_F(MainWindowTest, APlayerPluggedInTakesTheDroppedFilesWhenItMayAndEjectsOnlyBetweenBatches) {
    const struct {
        const char* config;
        bool sent;
        const char* line; // under the picture while the stick is in; empty: hidden
    } cases[] = {
        {"DeviceIndex=4\n", true, "Send to: PSP 'STICK' — "},
        {"DeviceIndex=4\nSendToPlayer=0\n", false, ""},
        {"DeviceIndex=0\n", false, "This device cannot receive files from Morvane"},
    };
    for (const auto& each : cases) {
        SCOPED_TRACE(each.config);
        write_config(std::string("OpenOutput=0\n") + each.config);
        test::TempFolder mounts;
        const fs::path stick = mounts.path() / "STICK";
        fs::create_directories(stick / "PSP");
        auto window = open_window();
        DropArea* area = window->drop_area();
        ConversionController* conversion = window->conversion();
        QStringList said;
        QObject::connect(area->announcer(), &Announcer::announced,
                         [&](const QString& words) { said << words; });
        StandInPlayerWatcher watcher;
        conversion->set_player_watcher(&watcher);
        EXPECT_FALSE(area->player_label()->isVisible()) << "no player yet";

        watcher.plug_in(stick);
        ASSERT_EQ(said.size(), 1);
        EXPECT_TRUE(said[0].startsWith("PSP 'STICK' connected, ")) << said[0].toStdString();
        const QString line =
            area->player_label()->isVisible() ? area->player_label()->text() : QString();
        const QString expected = QString::fromUtf8(each.line);
        EXPECT_EQ(line.left(expected.size()).toStdString(), expected.toStdString());
        const std::string name = each.sent ? "tone.wav" : "kept.wav";
        test::drop_files(area, {tone(name)});
        conversion->eject_player(); // refused: the batch may write to the player
        BatchSummary summary = wait_for_batch(*window);
        EXPECT_EQ(watcher.ejects, 0) << "ejected while a batch ran";
        EXPECT_EQ(summary.converted, 1);
        EXPECT_EQ(summary.sent, each.sent ? 1 : 0);
        EXPECT_EQ(summary.not_sent, 0);
        EXPECT_TRUE(summary.failed_files.empty());
        const std::set<std::string> converted = outputs();
        ASSERT_EQ(converted.size(), 1u);
        const std::set<std::string> music = test::names_in(stick / "MUSIC");
        if (each.sent) {
            // The very file of the output folder, whole, and the output stays.
            ASSERT_EQ(music, converted);
            EXPECT_EQ(fs::file_size(stick / "MUSIC" / *music.begin()),
                      fs::file_size(output_folder.path() / *converted.begin()));
            EXPECT_EQ(area->status_label()->text(), "1 converted, 1 sent to the player");
        } else {
            EXPECT_TRUE(music.empty());
            EXPECT_EQ(area->status_label()->text(), "1 converted");
        }

        // Ejected between batches (or pulled out): the line goes, and the next file stays
        // in the output folder only.
        // The eject's news takes the player's line, the summary stays; a player pulled out
        // is said to be gone, unless it was ejected.
        const QString summary_line = area->status_label()->text();
        said.clear();
        if (each.sent) {
            ASSERT_TRUE(area->eject_link()->isVisible());
            QTest::mouseClick(area->eject_link(), Qt::LeftButton);
            EXPECT_EQ(watcher.ejects, 1);
            EXPECT_EQ(area->player_label()->text(), "PSP 'STICK' can be unplugged");
            EXPECT_EQ(area->status_label()->text(), summary_line);
            EXPECT_FALSE(area->eject_link()->isVisible());
            EXPECT_EQ(said, QStringList{"PSP 'STICK' can be unplugged"});
        } else {
            watcher.pull_out();
            EXPECT_FALSE(area->player_label()->isVisible());
            EXPECT_EQ(said, QStringList{"PSP 'STICK' disconnected"});
        }
        test::drop_files(area, {tone("after.wav")});
        summary = wait_for_batch(*window);
        EXPECT_EQ(summary.converted, 1);
        EXPECT_EQ(summary.sent, 0);
        EXPECT_EQ(test::names_in(stick / "MUSIC"), music);
        window.reset();
        for (const auto& entry : fs::directory_iterator(output_folder.path())) {
            fs::remove_all(entry.path());
        }
    }
}

TEST_F(MainWindowTest, FirstStartShowsThePhoneInASkinnedWindowThatEscapeLeavesOpen) {
    auto window = open_window();
    DropArea* area = window->drop_area();
    EXPECT_EQ(window->size(), window->skin().background().size());
    EXPECT_EQ(area->geometry(), window->rect().adjusted(2, 19, -2, -2));
    EXPECT_EQ(window->conversion()->device().display_name, "iPhone, iPod touch");
    EXPECT_FALSE(window->windowFlags() & Qt::WindowStaysOnTopHint); // only when asked
    EXPECT_EQ(window->windowTitle(), "Morvane");
    EXPECT_EQ(area->status_label()->text(), "Drop audio/video files");
    EXPECT_EQ(area->accessibleDescription(),
              "Press to choose files, or Ctrl+O; Ctrl+Shift+O adds a folder.");

    // The phone's picture, centred at y = 2 on white.
    const QImage phone(QString::fromStdString(location.data_folder + "devices/iPhone.jpg"));
    const QImage shot = area->grab().toImage();
    window->grab().save(QString(MORVANE_ARTEFACT_DIR) + "/main-window.png");
    const int left = (area->width() - phone.width()) / 2;
    for (int y : {10, 100, 200}) {
        for (int x : {30, 110, 190}) {
            EXPECT_EQ(shot.pixelColor(left + x, 2 + y), phone.pixelColor(x, y)) << x << "," << y;
        }
    }
    EXPECT_EQ(shot.pixelColor(0, 1), QColor(Qt::white));

    // Tab goes from the drop area through the skin's buttons, each named for a reader.
    ASSERT_TRUE(area->hasFocus());
    QStringList names;
    for (int i = 0; i < 4; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        names << QAccessible::queryAccessibleInterface(QApplication::focusWidget())
                     ->text(QAccessible::Name);
    }
    EXPECT_EQ(names, (QStringList{"Settings", "Minimise", "Close", "Add files to convert"}));
    EXPECT_FALSE(window->skin().close_button()->toolTip().isEmpty());

    QTest::keyClick(window.get(), Qt::Key_Escape);
    QTest::keyClick(area, Qt::Key_Escape);
    EXPECT_TRUE(window->isVisible());
}

TEST_F(MainWindowTest, CtrlOAndAClickOpenTheChooserAndFoldersAddTheirMediaFiles) {
    // The chooser offers the very files a folder's walk takes by name (".mpc" too): whatever
    // their content, every one it offers is taken, and it offers every extension taken.
    const QString filter = media_file_filter();
    const QStringList offered = filter.section('(', 1, 1).section(')', 0, 0).split(' ');
    for (const std::string& extension : media_extensions()) {
        EXPECT_TRUE(offered.contains(QString::fromStdString("*." + extension))) << extension;
    }
    fs::create_directories(media.file("named"));
    for (const QString& pattern : offered) {
        const std::string named = media.file("named/x" + pattern.mid(1).toStdString()).string();
        { std::ofstream(named) << "not media"; }
        EXPECT_TRUE(looks_like_media(named)) << named;
    }
    EXPECT_TRUE(offered.contains("*.mpc"));
    EXPECT_TRUE(offered.contains("*.wav"));
    EXPECT_FALSE(offered.contains("*.txt"));

    auto window = open_window();
    DropArea* area = window->drop_area();
    const std::string folder = media.file("album").string();
    fs::create_directories(folder + "/disc 2");
    const std::string first = tone("album/b.wav");
    const std::string second = tone("album/disc 2/a.wav");
    { std::ofstream(folder + "/cover.txt") << "not media"; }
    tone("album/.morvane-partial-0123.wav"); // a conversion still being written
    std::vector<std::vector<std::string>> answers = {{tone("x.wav"), tone("y.wav")}, {folder}};
    int asked = 0;
    area->set_file_chooser([&](QWidget* parent) {
        EXPECT_EQ(parent, area);
        return answers[static_cast<std::size_t>(asked++)];
    });

    QTest::keyClick(window.get(), Qt::Key_O, Qt::ControlModifier);
    ASSERT_EQ(asked, 1);
    BatchSummary summary = wait_for_batch(*window);
    EXPECT_EQ(summary.converted, 2);
    EXPECT_EQ(outputs(), (std::set<std::string>{"x.mp3", "y.mp3"}));

    QTest::mouseClick(area, Qt::LeftButton, {}, QPoint(area->width() / 2, 60));
    ASSERT_EQ(asked, 2);
    summary = wait_for_batch(*window);
    EXPECT_EQ(summary.converted, 2);
    EXPECT_EQ(summary.failed, 0); // the text file under the folder is not taken
    EXPECT_EQ(outputs(), (std::set<std::string>{"x.mp3", "y.mp3", "b.mp3", "a.mp3"}));
    EXPECT_EQ(area->status_label()->text(), "2 converted");
    ASSERT_TRUE(QTest::qWaitFor([&] { return shell.count(Kind::open_folder) == 2; }, 10000));
}

TEST_F(MainWindowTest, ADroppedLibraryHoldingTheOutputFolderConvertsOnlyItsNewSongs) {
    const fs::path library = media.file("library");
    const fs::path converted = library / "converted";
    fs::create_directories(converted);
    write_config("OutputFolder=" + converted.string() + "/\n");
    auto window = open_window();
    test::drop_files(window->drop_area(), {tone("earlier.wav")});
    EXPECT_EQ(wait_for_batch(*window).converted, 1);

    tone("library/new.wav");
    test::drop_files(window->drop_area(), {library.string()});
    EXPECT_EQ(wait_for_batch(*window).converted, 1); // never converted/earlier.mp3
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(converted)) {
        names.insert(entry.path().filename().string());
    }
    EXPECT_EQ(names, (std::set<std::string>{"earlier.mp3", "new.mp3"}));

    fs::create_directories(media.file("notes"));
    { std::ofstream(media.file("notes/list.txt")) << "not media"; }
    test::drop_files(window->drop_area(), {media.file("notes").string()});
    EXPECT_TRUE(wait_for_batch(*window).no_media_found);
    EXPECT_EQ(window->drop_area()->status_label()->text(),
              "No audio or video files in that folder");
}

TEST_F(MainWindowTest, ArgumentsStartABatch) {
    auto window = open_window();
    window->add_files({tone("first.wav"), clip("second.mp4", 2.0)});
    const BatchSummary summary = wait_for_batch(*window);
    EXPECT_EQ(summary.converted, 2);
    EXPECT_TRUE(summary.all_converted());
    EXPECT_EQ(outputs(), (std::set<std::string>{"first.mp3", "second.mp4"}));
}

TEST_F(MainWindowTest, DragOverHighlightsTheDropArea) {
    auto window = open_window();
    DropArea* area = window->drop_area();
    const QPoint edge(1, area->height() / 2);
    const QColor highlight = area->palette().color(QPalette::Highlight);
    EXPECT_EQ(area->grab().toImage().pixelColor(edge), QColor(Qt::white));

    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QString::fromStdString(tone("a.wav")))});
    QDragEnterEvent enter(QPoint(50, 50), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(area, &enter);
    EXPECT_TRUE(enter.isAccepted());
    EXPECT_TRUE(area->drop_highlighted());
    EXPECT_EQ(area->grab().toImage().pixelColor(edge), highlight);

    QDragLeaveEvent leave;
    QApplication::sendEvent(area, &leave);
    EXPECT_FALSE(area->drop_highlighted());
    EXPECT_EQ(area->grab().toImage().pixelColor(edge), QColor(Qt::white));

    // Text alone is not a file: no highlight.
    QMimeData text;
    text.setText("hello");
    QDragEnterEvent refused(QPoint(50, 50), Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(area, &refused);
    EXPECT_FALSE(area->drop_highlighted());
}

TEST_F(MainWindowTest, ProgressBarAndFileNameFollowTheWorker) {
    auto window = open_window();
    DropArea* area = window->drop_area();
    std::set<QString> names;
    std::set<QString> counts;
    std::vector<int> values;
    bool settings_locked = true;
    QTimer sampler;
    QObject::connect(&sampler, &QTimer::timeout, [&] {
        if (!window->conversion()->converting() || !area->progress_bar()->isVisible()) {
            return;
        }
        settings_locked = settings_locked && !window->skin().settings_button()->isEnabled();
        names.insert(area->file_label()->text());
        counts.insert(area->count_label()->text().section(QStringLiteral(" · "), 0, 0));
        values.push_back(area->progress_bar()->value());
    });
    sampler.start(5);
    QStringList said;
    QObject::connect(area->announcer(), &Announcer::announced,
                     [&](const QString& words) { said << words; });
    // Long enough for several reports of progress, however fast the conversion.
    test::drop_files(area, {clip("long.mp4", 160.0, {640, 480}), tone("short.wav")});
    const BatchSummary summary = wait_for_batch(*window);
    sampler.stop();
    // A screen reader hears where the batch stands (if it lasted long enough), never a
    // file's percentage, and its end once.
    ASSERT_FALSE(said.isEmpty());
    EXPECT_EQ(said.takeLast(), "Batch finished: 2 converted");
    for (const QString& words : said) {
        EXPECT_TRUE(words.startsWith("1 of 2") || words.startsWith("2 of 2"))
            << words.toStdString();
    }

    EXPECT_EQ(summary.converted, 2);
    EXPECT_TRUE(names.count("long.mp4"));
    EXPECT_TRUE(counts.count("1 of 2"));
    ASSERT_GT(values.size(), 3u);
    EXPECT_LT(*std::min_element(values.begin(), values.end()), 50);
    EXPECT_GT(*std::max_element(values.begin(), values.end()), 50);
    EXPECT_TRUE(settings_locked);
    EXPECT_TRUE(window->skin().settings_button()->isEnabled());
    EXPECT_FALSE(area->progress_bar()->isVisible());
    EXPECT_EQ(area->status_label()->text(), "2 converted");
}

TEST_F(MainWindowTest, StopButtonKeepsACompleteShorterFileAndFilesDroppedAfterStartTheNext) {
    auto window = open_window();
    DropArea* area = window->drop_area();
    bool stopped = false;
    QTimer clicker;
    QObject::connect(&clicker, &QTimer::timeout, [&] {
        if (!stopped && area->progress_bar()->value() > 5) {
            stopped = true;
            // The settings wait for the end of the batch, and say so.
            QTest::keyClick(window.get(), Qt::Key_Comma, Qt::ControlModifier);
            EXPECT_EQ(window->settings_dialog(), nullptr);
            EXPECT_TRUE(area->announcer()->last_words().contains("when the batch has ended"));
            QAbstractButton* stop = area->stop_button();
            QTest::mouseClick(stop, Qt::LeftButton, {}, stop->rect().center());
            test::drop_files(area, {tone("later.wav")});
        }
    });
    clicker.start(5);
    test::drop_files(area, {clip("long.mp4", 30.0, {160, 120}), tone("never.wav")});
    const BatchSummary summary = wait_for_batch(*window);
    clicker.stop();
    EXPECT_TRUE(stopped);
    EXPECT_EQ(summary.stopped, 1);
    EXPECT_EQ(summary.not_started, 1);
    EXPECT_EQ(area->status_label()->text(), "1 stopped, 1 not started");
    // The truth of the stop, said once with the batch's end: how far the file got.
    const QString said = area->announcer()->last_words();
    EXPECT_TRUE(said.startsWith("Stopped at ") && said.endsWith("%: long.mp4 is kept, shorter; "
                                                                "1 not started"))
        << said.toStdString();
    const test::MediaInfo info = test::inspect_media(output_folder.file("long.mp4"));
    EXPECT_TRUE(info.read_error.empty());
    EXPECT_LT(info.stream(AVMEDIA_TYPE_VIDEO).end_seconds(), 28.0);

    // The file dropped after the stop was not lost: it is the next batch.
    const BatchSummary next = wait_for_batch(*window);
    EXPECT_EQ(next.converted, 1);
    EXPECT_EQ(outputs(), (std::set<std::string>{"long.mp4", "later.mp3"}));
}

TEST_F(MainWindowTest, FailedFilesAreShownAndTheSummaryLinkShowsThemAgain) {
    auto window = open_window();
    std::vector<std::vector<FailedFile>> shown;
    window->set_failed_files_viewer(
        [&](const std::vector<FailedFile>& failed, const std::vector<FailedFile>& not_sent) {
            EXPECT_TRUE(not_sent.empty());
            shown.push_back(failed);
        });
    const std::string notes = media.file("notes.txt").string();
    { std::ofstream(notes) << "not media"; }
    test::drop_files(window->drop_area(), {notes, tone("good.wav")});
    wait_for_batch(*window);
    ASSERT_TRUE(QTest::qWaitFor([&] { return shown.size() == 1; }, 10000));
    ASSERT_EQ(shown[0].size(), 1u);
    EXPECT_EQ(shown[0][0].path, notes);
    EXPECT_FALSE(shown[0][0].reason.empty());
    EXPECT_EQ(shell.count(Kind::open_folder), 0); // failures come first

    EXPECT_EQ(window->drop_area()->status_label()->text(), "1 converted, 1 failed");
    QAbstractButton* link = window->drop_area()->failed_files_link();
    ASSERT_TRUE(link->isVisible());
    link->setFocus();
    QTest::keyClick(link, Qt::Key_Return);
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[1], shown[0]);
}

TEST_F(MainWindowTest, PowerOffOnlyAfterAnAllConvertedBatchAndAfterTheNotice) {
    write_config("Shutdown=1\nOpenOutput=0\n");
    auto window = open_window();
    window->set_power_off_notice_seconds(2);
    std::vector<std::vector<FailedFile>> shown;
    window->set_failed_files_viewer(
        [&](const std::vector<FailedFile>& failed, const std::vector<FailedFile>&) {
            shown.push_back(failed);
        });

    // A failure: the list instead, no notice.
    const std::string notes = media.file("notes.txt").string();
    { std::ofstream(notes) << "not media"; }
    test::drop_files(window->drop_area(), {notes});
    wait_for_batch(*window);
    EXPECT_EQ(shown.size(), 1u);
    EXPECT_EQ(window->power_off_notice(), nullptr);

    // All converted: the notice first, the power-off when it runs out.
    test::drop_files(window->drop_area(), {tone("a.wav")});
    wait_for_batch(*window);
    PowerOffNotice* notice = window->power_off_notice();
    ASSERT_NE(notice, nullptr);
    EXPECT_TRUE(notice->isVisible());
    EXPECT_EQ(notice->seconds_left(), 2);
    EXPECT_EQ(shell.count(Kind::power_off), 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return shell.count(Kind::power_off) == 1; }, 5000));
    EXPECT_NE(config().find("Shutdown=1"), std::string::npos); // saved first

    // Cancel stops it; a refused power-off is shown.
    test::drop_files(window->drop_area(), {tone("b.wav")});
    wait_for_batch(*window);
    notice = window->power_off_notice();
    ASSERT_NE(notice, nullptr);
    QTest::mouseClick(notice->findChild<QPushButton*>(), Qt::LeftButton);
    QTest::qWait(2500);
    EXPECT_EQ(shell.count(Kind::power_off), 1);

    shell.fail_with("Interactive authentication required.");
    window->set_power_off_notice_seconds(1);
    test::drop_files(window->drop_area(), {tone("c.wav")});
    wait_for_batch(*window);
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->message() != nullptr; }, 5000));
    EXPECT_EQ(shell.count(Kind::power_off), 2);
    EXPECT_TRUE(window->message()->text().contains("Interactive authentication required."));
    window->message()->close();
}

TEST_F(MainWindowTest, AFolderThatWillNotOpenIsShownUnlessNothingCouldOpenIt) {
    auto window = open_window();
    shell.fail_with("No application handles folders.");
    test::drop_files(window->drop_area(), {tone("a.wav")});
    wait_for_batch(*window);
    ASSERT_NE(window->message(), nullptr);
    EXPECT_TRUE(window->message()->text().contains("No application handles folders."));
    window->message()->close();
    QCoreApplication::processEvents();

    // Without xdg-open the General page says so; no batch ends in a message.
    shell.have_no_folder_opener("xdg-open is not installed");
    test::drop_files(window->drop_area(), {tone("b.wav")});
    wait_for_batch(*window);
    EXPECT_EQ(window->message(), nullptr);
    EXPECT_EQ(shell.count(Kind::open_folder), 1);
}

TEST_F(MainWindowTest, CtrlCommaOpensTheSettingsAndCancelChangesNothing) {
    auto window = open_window();
    QTest::keyClick(window.get(), Qt::Key_Comma, Qt::ControlModifier);
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->settings_dialog() != nullptr; }, 5000));
    window->settings_dialog()->reject();
    EXPECT_FALSE(fs::exists(location.config_file()));
}

TEST_F(MainWindowTest, ASettingsSaveThatFailsIsShownOnce) {
    auto window = open_window();
    fs::remove_all(location.config_directory);
    { std::ofstream(location.config_directory.substr(0, location.config_directory.size() - 1)); }
    for (int i = 0; i < 2; ++i) {
        window->open_settings();
        ASSERT_NE(window->settings_dialog(), nullptr);
        window->settings_dialog()->findChild<QCheckBox*>("shutdown")->click(); // a change to save
        window->settings_dialog()->accept();
        QCoreApplication::processEvents();
    }
    ASSERT_NE(window->message(), nullptr);
    EXPECT_TRUE(window->message()->text().startsWith("The settings could not be saved: "));
    EXPECT_EQ(window->findChildren<QMessageBox*>().size(), 1);
    window->message()->close();
}

TEST_F(MainWindowTest, HandEditedSettingsAreTakenSafely) {
    write_config("DeviceIndex=7\nTopmost=1\nOpenOutput=0\n");
    auto window = open_window();
    EXPECT_EQ(window->settings().device_index, 0);
    EXPECT_EQ(window->conversion()->device().display_name, "iPhone, iPod touch");
    EXPECT_TRUE(window->windowFlags() & Qt::WindowStaysOnTopHint); // a file's choice holds
    // The window hides and shows to change the flag: what was announced goes first, or a
    // screen reader would hear it again as the window shows.
    window->conversion()->announce(QStringLiteral("Batch finished: 1 converted"));
    const QObject* announcer = window->drop_area()->announcer();
    EXPECT_EQ(announcer->findChildren<QWidget*>().size(), 1);
    window->set_stay_on_top(false);
    EXPECT_FALSE(window->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(announcer->findChildren<QWidget*>().isEmpty());
}

TEST_F(MainWindowTest, EachChoiceIsWrittenAsItIsMadeAndClosingWritesNothing) {
    // Two windows on one config.ini, as on two displays: each writes the key it changed,
    // when it changed it; closing (by the close button or Ctrl+Q) writes nothing back.
    write_config("OpenOutput=0\n");
    auto first = open_window();
    auto second = open_window();
    const auto choose = [](MainWindow& window, const std::function<void(QDialog&)>& change) {
        window.open_settings();
        QDialog* dialog = window.settings_dialog();
        ASSERT_NE(dialog, nullptr);
        change(*dialog);
        QPushButton* ok = dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok);
        QTest::mouseClick(ok, Qt::LeftButton);
    };
    choose(*first, [](QDialog& dialog) {
        dialog.findChild<QComboBox*>("device_list")->setCurrentIndex(1); // the nano
    });
    choose(*second, [](QDialog& dialog) { dialog.findChild<QCheckBox*>("stay_on_top")->click(); });
    const std::string chosen = "[Common]\nOpenOutput=0\nDeviceIndex=1\nTopmost=1\n";
    EXPECT_EQ(config(), chosen);
    EXPECT_EQ(first->conversion()->device().display_name, "iPod nano");

    SkinButton* close = first->skin().close_button();
    QTest::mouseClick(close, Qt::LeftButton, {}, close->rect().center());
    EXPECT_FALSE(first->isVisible());
    first.reset();
    QTest::keyClick(second.get(), Qt::Key_Q, Qt::ControlModifier);
    EXPECT_FALSE(second->isVisible());
    second.reset();
    EXPECT_EQ(config(), chosen);
}

TEST_F(MainWindowTest, DraggingTheBandMovesTheWindowButNotTheDropArea) {
    auto window = open_window();
    const QPoint start = window->pos();
    QTest::mousePress(window.get(), Qt::LeftButton, {}, QPoint(60, 8));
    QTest::mouseMove(window.get(), QPoint(90, 28));
    QTest::mouseRelease(window.get(), Qt::LeftButton, {}, QPoint(90, 28));
    EXPECT_EQ(window->pos(), start + QPoint(30, 20));

    DropArea* area = window->drop_area();
    area->set_file_chooser([](QWidget*) { return std::vector<std::string>{}; });
    const QPoint moved = window->pos();
    QTest::mousePress(area, Qt::LeftButton, {}, QPoint(50, 50));
    QTest::mouseMove(area, QPoint(80, 80));
    QTest::mouseRelease(area, Qt::LeftButton, {}, QPoint(80, 80));
    EXPECT_EQ(window->pos(), moved);
}

TEST(ProgressPanelTest, ThePercentageStandsOutFromTheFillInALightAndADarkTheme) {
    // A dark desktop theme's colours as Qt takes them from GTK's Adwaita:dark.
    QPalette dark = QApplication::palette();
    for (const auto& [role, colour] : {std::pair{QPalette::Window, 0x323232},
                                       {QPalette::Button, 0x323232},
                                       {QPalette::Base, 0x242424},
                                       {QPalette::AlternateBase, 0x2b2b2b},
                                       {QPalette::WindowText, 0xf0f0f0},
                                       {QPalette::ButtonText, 0xf0f0f0},
                                       {QPalette::Text, 0xf0f0f0},
                                       {QPalette::HighlightedText, 0xf0f0f0},
                                       {QPalette::Highlight, 0x308cc6}}) {
        dark.setColor(role, QColor(QRgb(colour)));
    }
    const struct {
        const char* theme;
        std::optional<QPalette> palette; // none: Qt's own, the panel's from its start
    } cases[] = {{"light", std::nullopt}, {"dark, set while the program runs", dark}};
    for (const auto& each : cases) {
        SCOPED_TRACE(each.theme);
        ProgressPanel panel("");
        if (each.palette) {
            panel.setPalette(*each.palette);
        }
        panel.resize(300, 80);
        panel.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&panel));
        QProgressBar* bar = panel.progress_bar();
        bar->setValue(100); // the whole percentage over the fill
        const QImage shot = bar->grab().toImage();
        // Each row's fill is read at its left end, inside the frame; the letters are the
        // pixel that stands out most from its row's fill, and are held against the fill of
        // every row they cross, the lightest of a shaded fill included.
        QColor letters;
        double strongest = 1;
        std::vector<QColor> fills_behind;
        const int inset = 3 * static_cast<int>(shot.devicePixelRatio());
        for (int y = inset; y < shot.height() - inset; ++y) {
            const QColor fill = shot.pixelColor(inset, y);
            double row_most = 1;
            for (int x = inset; x < shot.width() - inset; ++x) {
                const QColor pixel = shot.pixelColor(x, y);
                const double contrast = contrast_ratio(pixel, fill);
                row_most = std::max(row_most, contrast);
                if (contrast > strongest) {
                    strongest = contrast;
                    letters = pixel;
                }
            }
            if (row_most > 1.5) { // a row the letters cross
                fills_behind.push_back(fill);
            }
        }
        ASSERT_FALSE(fills_behind.empty()) << "no percentage drawn";
        for (const QColor& fill : fills_behind) {
            EXPECT_GE(contrast_ratio(letters, fill), 4.5)
                << letters.name().toStdString() << " on " << fill.name().toStdString();
        }
    }
}

} // namespace
} // namespace morvane
