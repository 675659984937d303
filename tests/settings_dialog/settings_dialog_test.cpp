// SPDX-License-Identifier: GPL-3.0-or-later
// The settings dialog driven as a user drives it: the list of pages by keyboard, Tab
// through every control, Browse, the links, OK and Cancel.
#include "settings_dialog/about_page.h"
#include "settings_dialog/devices_page.h"
#include "settings_dialog/films_page.h"
#include "settings_dialog/general_page.h"
#include "settings_dialog/settings_dialog.h"
#include "support/recording_shell.h"

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTest>
#include <gtest/gtest.h>

namespace morvane {
namespace {

using test::RecordingShell;

class SettingsDialogTest : public testing::Test {
protected:
    SettingsDialogTest() {
        devices = device_table(MORVANE_ASSETS_DIR);
        settings.output_folder = "/music/out/";
        settings.stay_on_top = 1;
        settings.shutdown_after_batch = 0;
        settings.open_output_after_batch = 1;
        settings.device_index = 0;
        dialog = std::make_unique<SettingsDialog>(settings, devices, MORVANE_ASSETS_DIR, shell);
        dialog->show();
        dialog->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(dialog.get()));
    }

    template <typename Widget>
    Widget* child(const char* name) const {
        auto* widget = dialog->findChild<Widget*>(QString::fromLatin1(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }
    QListWidget* page_list() const { return child<QListWidget>("page_list"); }
    QWidget* current_page() const { return dialog->findChild<QStackedWidget*>()->currentWidget(); }
    QPushButton* button(QDialogButtonBox::StandardButton which) const {
        return dialog->findChild<QDialogButtonBox*>()->button(which);
    }

    // Near the left end, where a check box has its box and text.
    static void click(QWidget* widget) {
        ASSERT_NE(widget, nullptr);
        QTest::mouseClick(widget, Qt::LeftButton, {},
                          QPoint(std::min(widget->width() / 2, 8), widget->height() / 2));
    }
    void click_page(int row) const {
        QListWidget* list = page_list();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualItemRect(list->item(row)).center());
    }
    static QWidget* focused() { return QApplication::focusWidget(); }
    static QString name_of(const QWidget* widget) {
        if (widget == nullptr) {
            return QStringLiteral("(nothing)");
        }
        if (const auto* push = qobject_cast<const QPushButton*>(widget);
            push && widget->objectName().isEmpty()) {
            return push->text().remove(QLatin1Char('&'));
        }
        return widget->objectName();
    }

    DeviceTable devices;
    AppSettings settings;
    RecordingShell shell;
    std::unique_ptr<SettingsDialog> dialog;
};

TEST_F(SettingsDialogTest, DownInThePageListSwitchesThePageAndTheHighlightStays) {
    QListWidget* list = page_list();
    ASSERT_EQ(focused(), list);
    ASSERT_EQ(list->count(), 4);
    EXPECT_EQ(list->item(0)->text(), "General");
    EXPECT_NE(qobject_cast<GeneralPage*>(current_page()), nullptr);

    QTest::keyClick(list, Qt::Key_Down);
    EXPECT_NE(qobject_cast<DevicesPage*>(current_page()), nullptr);
    EXPECT_EQ(child<QLabel>("resolution")->text(), "320×480");
    QTest::keyClick(list, Qt::Key_Down);
    EXPECT_EQ(list->item(2)->text(), "Films");
    EXPECT_NE(qobject_cast<FilmsPage*>(current_page()), nullptr);
    QTest::keyClick(list, Qt::Key_Down);
    EXPECT_NE(qobject_cast<AboutPage*>(current_page()), nullptr);
    QTest::keyClick(list, Qt::Key_Up);
    QTest::keyClick(list, Qt::Key_Up);
    ASSERT_NE(qobject_cast<DevicesPage*>(current_page()), nullptr);

    // With the focus on the page, the list still shows which page is on show.
    QTest::keyClick(list, Qt::Key_Tab);
    ASSERT_NE(focused(), list);
    const QRect row = list->visualItemRect(list->item(1));
    const QImage shot = list->viewport()->grab().toImage();
    const qreal ratio = shot.devicePixelRatio();
    EXPECT_EQ(shot.pixelColor(QPoint(row.right() - 8, row.center().y()) * ratio),
              SettingsDialog::selection_colour());
    EXPECT_EQ(
        shot.pixelColor(QPoint(row.right() - 8, list->visualItemRect(list->item(0)).center().y()) *
                        ratio),
        QColor(Qt::white));

    // A click below the last title keeps the page and its highlight.
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      QPoint(row.center().x(), list->viewport()->height() - 2));
    EXPECT_NE(qobject_cast<DevicesPage*>(current_page()), nullptr);
    EXPECT_TRUE(list->item(1)->isSelected());
}

TEST_F(SettingsDialogTest, TabReachesEveryControlOnEveryPage) {
    const QStringList expected[] = {
        {"folder", "browse", "open", "keep_folders", "shutdown", "open_output", "send_to_player",
         "stay_on_top", "OK", "Cancel"},
        {"device_list", "video_codec_mpeg4", "OK", "Cancel"},
        {"preferred_languages", "subtitles", "crop", "fill", "video_quality", "picture_size_screen",
         "OK", "Cancel"},
        {"home_page_link", "contact_link", "OK", "Cancel"},
    };
    QListWidget* list = page_list();
    // The About page twice: a link reached once must be reached again.
    for (const int row : {0, 1, 2, 3, 3}) {
        list->setFocus();
        while (list->currentRow() < row) {
            QTest::keyClick(list, Qt::Key_Down);
        }
        QStringList reached;
        for (int step = 0; step < 20 && (reached.isEmpty() || focused() != list); ++step) {
            QTest::keyClick(focused(), Qt::Key_Tab);
            if (focused() != list) {
                reached << name_of(focused());
            }
        }
        EXPECT_EQ(reached, expected[row]) << "page " << row;
        // And back the same way with Shift+Tab, one step a control: none holds the focus.
        QStringList back;
        for (int step = 0; step < 20 && (back.isEmpty() || focused() != list); ++step) {
            QTest::keyClick(focused(), Qt::Key_Backtab, Qt::ShiftModifier);
            if (focused() != list) {
                back.prepend(name_of(focused()));
            }
        }
        EXPECT_EQ(back, expected[row]) << "page " << row << ", backwards";
    }
}

TEST_F(SettingsDialogTest, OkWritesTheChosenValuesAndCancelWritesNone) {
    for (const auto which : {QDialogButtonBox::Ok, QDialogButtonBox::Cancel}) {
        SCOPED_TRACE(which == QDialogButtonBox::Ok ? "OK" : "Cancel");
        dialog = std::make_unique<SettingsDialog>(settings, devices, MORVANE_ASSETS_DIR, shell);
        int asked = 0;
        std::optional<std::string> answer = "/tmp/chosen";
        dialog->set_folder_picker([&](QWidget* owner) {
            ++asked;
            EXPECT_EQ(owner->window(), dialog.get());
            return answer;
        });
        dialog->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));

        click(child<QPushButton>("browse"));
        EXPECT_EQ(child<QLineEdit>("folder")->text(), "/tmp/chosen/");
        answer.reset(); // cancelled: the field keeps the folder chosen before
        click(child<QPushButton>("browse"));
        EXPECT_EQ(asked, 2);
        EXPECT_EQ(child<QLineEdit>("folder")->text(), "/tmp/chosen/");
        // Open shows the folder conversions go to now, not the one just chosen.
        click(child<QPushButton>("open"));
        EXPECT_EQ(shell.calls().back(),
                  (RecordingShell::Call{RecordingShell::Call::Kind::open_folder, "/music/out/"}));
        click(child<QCheckBox>("shutdown"));
        click(child<QCheckBox>("stay_on_top"));
        click(child<QCheckBox>("keep_folders"));
        click_page(1);
        // A player that plays both picture codecs offers the choice; one without a screen
        // hides it, and the choice made stays.
        auto* mpeg4 = child<QRadioButton>("video_codec_mpeg4");
        auto* h264 = child<QRadioButton>("video_codec_h264");
        ASSERT_TRUE(devices[0].plays_several_video_codecs());
        EXPECT_TRUE(mpeg4->isVisible() && h264->isVisible());
        EXPECT_TRUE(mpeg4->isChecked());
        EXPECT_EQ(h264->accessibleDescription(),
                  "smaller files; iPod 5th generation and later, iPhone, PSP");
        mpeg4->setFocus();
        QTest::keyClick(mpeg4, Qt::Key_Down);
        EXPECT_TRUE(h264->isChecked());
        EXPECT_EQ(child<QLabel>("video_format")->text(), "H.264");

        click_page(2);
        // The films' choices; the field names the languages typed, and says so to a screen
        // reader with it.
        auto* languages = child<QLineEdit>("preferred_languages");
        EXPECT_EQ(languages->accessibleName(), "Preferred languages");
        languages->setFocus();
        QTest::keyClicks(languages, "fre, xx");
        const QString refusal =
            "\"xx\" is not a language code: write ISO 639 codes separated by commas, such as "
            "fra, eng.";
        EXPECT_EQ(child<QLabel>("preferred_languages_note")->text(), refusal);
        EXPECT_EQ(languages->accessibleDescription(), refusal);
        auto* subtitles = child<QComboBox>("subtitles");
        EXPECT_EQ(subtitles->currentText(), "When the sound is not in my language");
        subtitles->setFocus();
        QTest::keyClick(subtitles, Qt::Key_Down);
        EXPECT_EQ(subtitles->currentText(), "Always");
        EXPECT_TRUE(child<QCheckBox>("crop")->isChecked());
        click(child<QCheckBox>("crop"));
        click(child<QCheckBox>("fill"));

        // The quality is one line; the device's own rate is its first, unset, choice.
        auto* quality = child<QComboBox>("video_quality");
        EXPECT_EQ(quality->currentText(), "The device's own");
        quality->setFocus();
        QTest::keyClick(quality, Qt::Key_Down);
        EXPECT_EQ(quality->currentText(), "Highest");
        QTest::keyClick(quality, Qt::Key_End);
        EXPECT_EQ(quality->currentText(), "Lower");
        // A television's frame, on the rows that make one, as the Devices page chose them.
        auto* tv = child<QRadioButton>("picture_size_tv");
        ASSERT_TRUE(devices[0].plays_tv_size("h264"));
        EXPECT_TRUE(tv->isVisible());
        EXPECT_EQ(tv->text(), "For a television (640×480)");
        click(tv);

        // The size follows the player and codec chosen: the iPod classic's MPEG-4 films for a
        // television are smaller than its H.264 ones; a player without films has neither.
        click_page(1);
        auto* device_list = child<QComboBox>("device_list");
        device_list->setFocus();
        QTest::keyClick(device_list, Qt::Key_Down);
        QTest::keyClick(device_list, Qt::Key_Down);
        click(mpeg4);
        click_page(2);
        EXPECT_EQ(tv->text(), "For a television (480×360)");
        EXPECT_EQ(child<QGroupBox>("device_films")->title(), "On the iPod classic");
        click_page(1);
        click(h264);
        device_list->setFocus();
        QTest::keyClick(device_list, Qt::Key_Down);
        const DeviceProfile& sound_only = devices[3];
        ASSERT_FALSE(sound_only.plays_video);
        EXPECT_FALSE(mpeg4->isVisible() || h264->isVisible());
        EXPECT_EQ(child<QLabel>("resolution")->text(), "Not supported");
        EXPECT_EQ(child<QLabel>("video_format")->text(), "Not supported");
        EXPECT_EQ(child<QLabel>("audio_format")->text(),
                  QString::fromStdString(sound_only.audio_format_name));
        click_page(2);
        EXPECT_FALSE(tv->isVisible() || quality->isVisible());
        EXPECT_EQ(child<QLabel>("no_films_note")->text(), "The iPod Shuffle plays no films.");
        EXPECT_TRUE(child<QLabel>("no_films_note")->isVisible());
        click_page(0);

        if (which == QDialogButtonBox::Ok) {
            // Languages that cannot be kept are said, over the field, and nothing is stored.
            click(button(which));
            EXPECT_TRUE(dialog->isVisible());
            EXPECT_NE(qobject_cast<FilmsPage*>(current_page()), nullptr);
            EXPECT_EQ(focused(), languages);
            const auto messages = dialog->findChildren<QMessageBox*>();
            ASSERT_EQ(messages.size(), 1);
            EXPECT_EQ(messages.front()->text(), refusal);
            messages.front()->close();
            EXPECT_EQ(dialog->settings(), settings);
            languages->setText("fre, EN,,fre");
            EXPECT_EQ(child<QLabel>("preferred_languages_note")->text(), "French, English");
        }
        click(button(which));
        EXPECT_FALSE(dialog->isVisible());
        const AppSettings& chosen = dialog->settings();
        if (which == QDialogButtonBox::Ok) {
            EXPECT_EQ(dialog->result(), QDialog::Accepted);
            EXPECT_EQ(chosen.output_folder, "/tmp/chosen/");
            EXPECT_EQ(chosen.shutdown_after_batch, 1);
            EXPECT_EQ(chosen.stay_on_top, 0);
            EXPECT_EQ(chosen.keep_folders, 1);
            EXPECT_EQ(chosen.device_index, 3);
            EXPECT_EQ(chosen.video_codec, "h264");
            EXPECT_EQ(chosen.preferred_languages, (std::vector<std::string>{"fre", "en"}));
            EXPECT_EQ(chosen.subtitles, AppSettings::Subtitles::always);
            EXPECT_EQ(chosen.crop, 0);
            EXPECT_EQ(chosen.fill, 1);
            EXPECT_EQ(chosen.video_quality, AppSettings::Quality::lower);
            EXPECT_EQ(chosen.picture_size, AppSettings::PictureSize::tv);
        } else {
            EXPECT_EQ(dialog->result(), QDialog::Rejected);
            EXPECT_EQ(chosen, settings);
        }
        EXPECT_EQ(chosen.open_output_after_batch, 1);
    }
}

TEST_F(SettingsDialogTest, AStoredDeviceThatNamesNoRowShowsTheFirstAndKeepsItsIndex) {
    settings.device_index = 99;
    dialog = std::make_unique<SettingsDialog>(settings, devices, MORVANE_ASSETS_DIR, shell);
    dialog->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
    click_page(1);
    EXPECT_EQ(child<QComboBox>("device_list")->currentIndex(), 0);
    // The codec is chosen on the row on show, not on the stored index.
    click(child<QRadioButton>("video_codec_h264"));
    EXPECT_EQ(child<QLabel>("video_format")->text(), "H.264");
    click_page(2);
    EXPECT_EQ(child<QGroupBox>("device_films")->title(), "On the iPhone, iPod touch");
    click(button(QDialogButtonBox::Ok));
    EXPECT_EQ(dialog->settings().device_index, 99);
    EXPECT_EQ(dialog->settings().video_codec, "h264");
}

TEST_F(SettingsDialogTest, LinksOpenFromTheKeyboardThroughTheShell) {
    QListWidget* list = page_list();
    QTest::keyClick(list, Qt::Key_End);
    ASSERT_NE(qobject_cast<AboutPage*>(current_page()), nullptr);
    QTest::keyClick(list, Qt::Key_Tab);
    ASSERT_EQ(focused(), child<QAbstractButton>("home_page_link"));
    QTest::keyClick(focused(), Qt::Key_Return);
    QTest::keyClick(focused(), Qt::Key_Tab);
    ASSERT_EQ(focused(), child<QAbstractButton>("contact_link"));
    QTest::keyClick(focused(), Qt::Key_Return);

    using Call = RecordingShell::Call;
    EXPECT_EQ(shell.calls(),
              (std::vector<Call>{{Call::Kind::open_url, "https://morvane.org/"},
                                 {Call::Kind::open_url, "mailto:support@morvane.org"}}));
    EXPECT_TRUE(dialog->isVisible()); // Return on a link is not OK

    // Without a browser or a file manager, each says so instead of doing nothing.
    shell.fail_with("no program opens it");
    QTest::keyClick(focused(), Qt::Key_Return);
    list->setFocus();
    QTest::keyClick(list, Qt::Key_Home);
    click(child<QPushButton>("open"));
    QStringList said;
    for (QMessageBox* message : dialog->findChildren<QMessageBox*>()) {
        EXPECT_TRUE(message->isVisible());
        said << message->text();
    }
    ASSERT_EQ(said.size(), 2) << said.join(" | ").toStdString();
    EXPECT_TRUE(said.filter("no program opens it").size() == 1) << said.join(" | ").toStdString();
    EXPECT_TRUE(said.filter("/music/out/").size() == 1) << said.join(" | ").toStdString();
    EXPECT_EQ(dialog->findChild<QLabel*>("open_output_note"), nullptr);
    EXPECT_EQ(child<QCheckBox>("open_output")->accessibleDescription(), "");

    // Where nothing can open a folder, the page says so once, beside the setting.
    shell.have_no_folder_opener("xdg-open is not installed");
    dialog = std::make_unique<SettingsDialog>(settings, devices, MORVANE_ASSETS_DIR, shell);
    dialog->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
    const QLabel* note = child<QLabel>("open_output_note");
    ASSERT_NE(note, nullptr);
    EXPECT_TRUE(note->isVisible());
    EXPECT_EQ(note->text(),
              "Folders cannot be opened on this computer: xdg-open is not installed.");
    // And a screen reader says it with the check box it is about.
    EXPECT_EQ(QAccessible::queryAccessibleInterface(child<QCheckBox>("open_output"))
                  ->text(QAccessible::Description),
              note->text());
    EXPECT_FALSE(child<QPushButton>("open")->isEnabled());
}

} // namespace
} // namespace morvane
