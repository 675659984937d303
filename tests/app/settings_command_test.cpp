// The settings button of the main window: the sheet it opens, and what OK and Cancel do to
// the window, the conversion window and config.ini.
#include "app/quenda_dlg.h"
#include "conversion_window/conver_wnd.h"
#include "settings/my_property_sheet.h"
#include "settings/unsupported_dlg.h"
#include "skin/control_id.h"
#include "support/recording_shell.h"
#include "support/temp_folder.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QListWidget>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <QUrl>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>

namespace morvane {
namespace {

namespace fs = std::filesystem;

class SettingsCommandTest : public testing::Test {
protected:
    SettingsCommandTest() {
        fs::copy(fs::path(MORVANE_ASSETS_DIR), module_folder.path(), fs::copy_options::recursive);
        location.module_directory = module_folder.path().string() + "/";
        location.config_directory = module_folder.path().string() + "/";
        location.default_output_folder = output_folder.path().string() + "/";
        window = std::make_unique<CQuendaDlg>(location, shell);
        window->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    }

    // Clicks the settings button and, once the sheet is up, lets `use` work it; `use` must
    // end the sheet.
    void with_sheet(const std::function<void(CMyPropertySheet&)>& use) {
        bool used = false;
        QTimer::singleShot(0, [&] {
            auto* sheet = qobject_cast<CMyPropertySheet*>(QApplication::activeModalWidget());
            ASSERT_NE(sheet, nullptr);
            used = true;
            use(*sheet);
        });
        QWidget* button = FindControl(window.get(), CQuendaDlg::settings_id);
        ASSERT_NE(button, nullptr);
        QTest::mouseClick(button, Qt::LeftButton, {}, button->rect().center());
        EXPECT_TRUE(used);
    }

    static void click_row(CMyPropertySheet& sheet, int row) {
        QListWidget* list = sheet.nav_list();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualItemRect(list->item(row)).center());
    }

    static void click(QWidget* parent, int id) {
        auto* button = qobject_cast<QAbstractButton*>(FindControl(parent, id));
        ASSERT_NE(button, nullptr) << id;
        QTest::mouseClick(button, Qt::LeftButton, {}, button->rect().center());
    }

    static void choose_device(CMyPropertySheet& sheet, int row) {
        click_row(sheet, 1);
        auto* combo = sheet.findChild<QComboBox*>();
        ASSERT_NE(combo, nullptr);
        combo->setFocus();
        while (combo->currentIndex() < row) {
            QTest::keyClick(combo, Qt::Key_Down);
        }
    }

    std::string config() const {
        std::ifstream file(location.config_file());
        return std::string((std::istreambuf_iterator<char>(file)), {});
    }

    test::TempFolder module_folder;
    test::TempFolder output_folder;
    SettingsLocation location;
    test::RecordingShell shell;
    std::unique_ptr<CQuendaDlg> window;
};

TEST_F(SettingsCommandTest, OkWithAnotherDeviceSavesItAndShowsItsPictureAtOnce) {
    with_sheet([](CMyPropertySheet& sheet) {
        EXPECT_EQ(sheet.nav_list()->count(), 3);
        choose_device(sheet, 4);
        click(&sheet, CMyPropertySheet::ok_id);
    });
    EXPECT_NE(config().find("DeviceIndex=4"), std::string::npos) << config();
    CConverWnd* conversion = window->conversion_window();
    EXPECT_EQ(conversion->device().display_name, "Sony PSP");

    Image handheld;
    ASSERT_TRUE(handheld.Load(location.module_directory + "devices/PSP.jpg"));
    const QImage shot = conversion->grab().toImage();
    const int left = (conversion->width() - static_cast<int>(handheld.GetWidth())) / 2;
    const RgbQuad expected = handheld.GetPixelColor(110, 100);
    EXPECT_EQ(shot.pixelColor(left + 110, 2 + 100),
              QColor(expected.red, expected.green, expected.blue));
}

TEST_F(SettingsCommandTest, TopmostChangesTakeEffectAtOnce) {
    ASSERT_TRUE(window->windowFlags() & Qt::WindowStaysOnTopHint);
    for (bool expected : {false, true}) {
        with_sheet([](CMyPropertySheet& sheet) {
            click(sheet.page(sheet.active_page()), CGeneralPage::topmost_id);
            click(&sheet, CMyPropertySheet::ok_id);
        });
        EXPECT_EQ(static_cast<bool>(window->windowFlags() & Qt::WindowStaysOnTopHint), expected);
        EXPECT_TRUE(window->isVisible());
        EXPECT_NE(config().find(expected ? "Topmost=1" : "Topmost=0"), std::string::npos);
    }
}

TEST_F(SettingsCommandTest, CancelChangesAndSavesNothing) {
    const AppSettings before = window->settings();
    with_sheet([](CMyPropertySheet& sheet) {
        click(sheet.page(sheet.active_page()), CGeneralPage::topmost_id);
        choose_device(sheet, 3);
        click(&sheet, CMyPropertySheet::cancel_id);
    });
    EXPECT_FALSE(fs::exists(location.config_file()));
    EXPECT_EQ(window->settings().device_index, before.device_index);
    EXPECT_EQ(window->settings().topmost, before.topmost);
    EXPECT_EQ(window->conversion_window()->device().display_name, "iPhone,iPod touch");

    // OK without changes still writes the file.
    with_sheet([](CMyPropertySheet& sheet) { click(&sheet, CMyPropertySheet::ok_id); });
    EXPECT_NE(config().find("DeviceIndex=0"), std::string::npos);
}

TEST_F(SettingsCommandTest, FailedFilesAreListedInTheirDialog) {
    const std::string notes = output_folder.file("notes.txt").string();
    { std::ofstream(notes) << "not media"; }
    QStringList listed;
    QTimer watcher;
    QObject::connect(&watcher, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<CUnsupportedDlg*>(QApplication::activeModalWidget());
        if (dialog == nullptr) {
            return;
        }
        EXPECT_EQ(dialog->windowTitle(), "Not Supported");
        auto* list = dialog->findChild<QTreeWidget*>();
        ASSERT_NE(list, nullptr);
        for (int row = 0; row < list->topLevelItemCount(); ++row) {
            listed << list->topLevelItem(row)->text(0);
        }
        QTest::keyClick(dialog, Qt::Key_Escape);
    });
    watcher.start(20);
    window->conversion_window()->add_files({notes});
    ASSERT_TRUE(QTest::qWaitFor([&] { return !listed.isEmpty(); }, 30000));
    EXPECT_EQ(listed, QStringList{QString::fromStdString(notes)});
}

} // namespace
} // namespace morvane
