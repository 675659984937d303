// The General, Devices and Video&Audio pages: what they show, and that they write the
// settings only when the sheet closes with OK, and only if they were opened.
#include "platform/image.h"
#include "settings/av_setting.h"
#include "settings/dialog_units.h"
#include "settings/hyper_link.h"
#include "sheet_fixture.h"
#include "skin/img_ctrl.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

namespace morvane::test {
namespace {

using PagesTest = SheetFixture;
using Call = RecordingShell::Call;

void expect_same(const AppSettings& actual, const AppSettings& expected) {
    EXPECT_EQ(actual.topmost, expected.topmost);
    EXPECT_EQ(actual.shutdown_after_batch, expected.shutdown_after_batch);
    EXPECT_EQ(actual.open_output_after_batch, expected.open_output_after_batch);
    EXPECT_EQ(actual.device_index, expected.device_index);
    EXPECT_EQ(actual.output_folder, expected.output_folder);
    EXPECT_EQ(actual.quality_bit_rate, expected.quality_bit_rate);
}

TEST_F(PagesTest, CheckBoxesShowAndWriteTheThreeFlags) {
    settings.shutdown_after_batch = 7; // any non-zero value reads as set
    settings.topmost = 0;
    settings.open_output_after_batch = 1;
    auto sheet = open_sheet();
    auto* shutdown = control<QCheckBox>(&general, CGeneralPage::shutdown_id);
    auto* topmost = control<QCheckBox>(&general, CGeneralPage::topmost_id);
    auto* open_output = control<QCheckBox>(&general, CGeneralPage::open_output_id);
    EXPECT_EQ(shutdown->text(), "Shutdown after convertion");
    EXPECT_EQ(open_output->text(), "Open the output folder after convertion");
    EXPECT_EQ(topmost->text(), "Topmost");
    EXPECT_TRUE(shutdown->isChecked());
    EXPECT_FALSE(topmost->isChecked());
    EXPECT_TRUE(open_output->isChecked());

    QTest::mouseClick(topmost, Qt::LeftButton);
    QTest::mouseClick(open_output, Qt::LeftButton);
    EXPECT_EQ(settings.topmost, 0) << "written on OK only";
    click_button(*sheet, CMyPropertySheet::ok_id);
    EXPECT_EQ(sheet->result(), QDialog::Accepted);
    EXPECT_EQ(settings.shutdown_after_batch, 1);
    EXPECT_EQ(settings.topmost, 1);
    EXPECT_EQ(settings.open_output_after_batch, 0);
}

TEST_F(PagesTest, FolderChangesOnlyThroughBrowseAndEndsInASlash) {
    std::vector<std::optional<std::string>> answers = {"/media/disk/Out", std::nullopt,
                                                       std::string(), "/"};
    std::vector<QWidget*> owners;
    general.set_folder_picker([&](QWidget* owner) {
        owners.push_back(owner);
        auto answer = answers.front();
        answers.erase(answers.begin());
        return answer;
    });
    auto sheet = open_sheet();
    auto* folder = control<QLineEdit>(&general, CGeneralPage::folder_id);
    auto* browse = control<QPushButton>(&general, CGeneralPage::browse_id);
    EXPECT_EQ(folder->text(), "/home/someone/Converted/");
    EXPECT_TRUE(folder->isReadOnly());
    QTest::keyClicks(folder, "typed");
    EXPECT_EQ(folder->text(), "/home/someone/Converted/");

    QTest::mouseClick(browse, Qt::LeftButton);
    EXPECT_EQ(folder->text(), "/media/disk/Out/");
    QTest::mouseClick(browse, Qt::LeftButton); // cancelled
    QTest::mouseClick(browse, Qt::LeftButton); // no file-system path
    EXPECT_EQ(folder->text(), "/media/disk/Out/");
    EXPECT_EQ(settings.output_folder, "/home/someone/Converted/");
    QTest::mouseClick(browse, Qt::LeftButton); // the root already ends in a slash
    EXPECT_EQ(folder->text(), "/");
    EXPECT_EQ(owners, std::vector<QWidget*>(4, &general));

    click_button(*sheet, CMyPropertySheet::ok_id);
    EXPECT_EQ(settings.output_folder, "/");
}

TEST_F(PagesTest, OpenShowsTheStoredFolderNotTheField) {
    general.set_folder_picker([](QWidget*) { return std::optional<std::string>("/elsewhere"); });
    auto sheet = open_sheet();
    QTest::mouseClick(control<QPushButton>(&general, CGeneralPage::browse_id), Qt::LeftButton);
    shell.fail_with("the folder does not exist"); // and says nothing about it
    QTest::mouseClick(control<QPushButton>(&general, CGeneralPage::open_id), Qt::LeftButton);
    EXPECT_EQ(shell.calls(),
              (std::vector<Call>{{Call::Kind::open_folder, "/home/someone/Converted/"}}));
    EXPECT_EQ(active_modal(), sheet.get());
}

TEST_F(PagesTest, CancelLeavesTheSettingsUntouched) {
    general.set_folder_picker([](QWidget*) { return std::optional<std::string>("/elsewhere"); });
    settings.device_index = 1;
    const AppSettings before = settings;
    auto sheet = open_sheet();
    QTest::mouseClick(control<QPushButton>(&general, CGeneralPage::browse_id), Qt::LeftButton);
    QTest::mouseClick(control<QCheckBox>(&general, CGeneralPage::shutdown_id), Qt::LeftButton);
    QTest::mouseClick(control<QCheckBox>(&general, CGeneralPage::topmost_id), Qt::LeftButton);
    click_row(*sheet, 1);
    QTest::keyClick(control<QComboBox>(&devices, CDevicePage::device_list_id), Qt::Key_End);
    EXPECT_EQ(devices.pending_device_index(), 4);
    click_button(*sheet, CMyPropertySheet::cancel_id);
    EXPECT_EQ(sheet->result(), QDialog::Rejected);
    expect_same(settings, before);
}

TEST_F(PagesTest, PagesNotOpenedWriteNothingAndReopenedPagesReadAfresh) {
    {
        auto sheet = open_sheet();
        click_row(*sheet, 1);
        QTest::keyClick(control<QComboBox>(&devices, CDevicePage::device_list_id), Qt::Key_End);
        click_button(*sheet, CMyPropertySheet::cancel_id);
    }
    // Changed behind the pages' back between two runs.
    settings.device_index = 2;
    settings.shutdown_after_batch = 1;
    settings.output_folder = "/srv/out/";
    const AppSettings before = settings;
    {
        auto sheet = open_sheet();
        EXPECT_TRUE(control<QCheckBox>(&general, CGeneralPage::shutdown_id)->isChecked());
        EXPECT_EQ(control<QLineEdit>(&general, CGeneralPage::folder_id)->text(), "/srv/out/");
        click_button(*sheet, CMyPropertySheet::ok_id);
    }
    expect_same(settings, before);
}

TEST_F(PagesTest, DevicesShowTheChosenPlayer) {
    auto sheet = open_sheet();
    click_row(*sheet, 1);
    auto* list = control<QComboBox>(&devices, CDevicePage::device_list_id);
    auto* resolution = control<QLabel>(&devices, CDevicePage::resolution_id);
    auto* video = control<QLabel>(&devices, CDevicePage::video_format_id);
    auto* audio = control<QLabel>(&devices, CDevicePage::audio_format_id);
    ASSERT_EQ(list->count(), 5);
    for (int row = 0; row < 5; ++row) {
        EXPECT_EQ(list->itemText(row).toStdString(), table[row].display_name);
    }
    EXPECT_EQ(list->currentIndex(), 0);
    EXPECT_EQ(resolution->text(), "320*480");

    QTest::keyClick(list, Qt::Key_End);
    EXPECT_EQ(list->currentText(), "Sony PSP");
    EXPECT_EQ(resolution->text(), "368*208");
    EXPECT_EQ(video->text(), "MPEG4");
    EXPECT_EQ(audio->text(), "MP3");
    Image psp;
    ASSERT_TRUE(psp.Load(kAssetsDir + "devices/PSP.jpg"));
    EXPECT_EQ(devices.picture().image().MakeBitmap(), psp.MakeBitmap());
    // Centred in the picture control, on screen.
    const QImage screen = on_screen(*sheet);
    const QPoint corner = devices.picture().mapTo(
        sheet.get(), QPoint((devices.picture().width() - static_cast<int>(psp.GetWidth())) / 2,
                            (devices.picture().height() - static_cast<int>(psp.GetHeight())) / 2));
    EXPECT_EQ(screen.pixel(corner + QPoint(110, 118)), psp.MakeBitmap().pixel(110, 118));
    EXPECT_EQ(screen.pixel(corner + QPoint(5, 200)), psp.MakeBitmap().pixel(5, 200));

    QTest::keyClick(list, Qt::Key_Up);
    EXPECT_EQ(list->currentText(), "iPod Shuffle");
    EXPECT_EQ(resolution->text(), "Not Support");
    EXPECT_EQ(video->text(), "Not Support");
    EXPECT_EQ(audio->text(), "MP3");
    EXPECT_EQ(settings.device_index, 0) << "written on OK only";
    click_button(*sheet, CMyPropertySheet::ok_id);
    EXPECT_EQ(settings.device_index, 3);
}

TEST_F(PagesTest, DevicesCopeWithABadIndexAndAMissingPicture) {
    settings.device_index = 9;
    table[0].image_path = kAssetsDir + "devices/missing.jpg";
    auto sheet = open_sheet();
    click_row(*sheet, 1);
    EXPECT_EQ(control<QComboBox>(&devices, CDevicePage::device_list_id)->currentIndex(), 0);
    EXPECT_FALSE(devices.picture().image().IsValid());
    EXPECT_EQ(control<QLabel>(&devices, CDevicePage::resolution_id)->text(), "320*480");
}

TEST_F(PagesTest, ControlsSitAtTheirTemplatePlacesInTheirFontsDialogUnits) {
    QFont font("Microsoft Sans Serif");
    font.setPointSize(10);
    const DialogUnits units(font);
    const QFontMetrics metrics(font);
    // A horizontal unit is a quarter of the average letter, a vertical one an eighth of a line.
    EXPECT_NEAR(units.x(4),
                metrics.horizontalAdvance("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz") /
                    52.0,
                1.0);
    EXPECT_EQ(units.y(8), metrics.height());
    EXPECT_EQ(control<QWidget>(&general, CGeneralPage::folder_id)->geometry(),
              units.rect(10, 36, 194, 14));
    EXPECT_EQ(control<QWidget>(&devices, CDevicePage::picture_id)->geometry(),
              units.rect(166, 35, 142, 137));
    EXPECT_EQ(control<QWidget>(&devices, CDevicePage::separator_id)->geometry(),
              units.rect(147, 35, 14, 206));
    EXPECT_EQ(about.home_page_link().pos(), units.rect(51, 152, 0, 0).topLeft());
}

TEST(AVSettingTest, ChecksTheStoredQualityAndWritesTheClickedOne) {
    AppSettings settings;
    settings.quality_bit_rate = 1200000;
    CAVSetting page;
    page.set_settings(&settings);
    page.open_page();
    page.show();
    auto* normal = qobject_cast<QRadioButton*>(FindControl(&page, 1029));
    auto* lower = qobject_cast<QRadioButton*>(FindControl(&page, 1030));
    ASSERT_TRUE(normal && lower);
    EXPECT_TRUE(normal->isChecked());
    QTest::mouseClick(lower, Qt::LeftButton);
    EXPECT_EQ(settings.quality_bit_rate, 1200000);
    page.apply_page();
    EXPECT_EQ(settings.quality_bit_rate, 800000);
    page.close_page();

    // A rate none of the buttons offers checks none, and is kept.
    settings.quality_bit_rate = 1000000;
    page.open_page();
    for (const auto& quality : CAVSetting::qualities) {
        EXPECT_FALSE(qobject_cast<QRadioButton*>(FindControl(&page, quality.id))->isChecked());
    }
    page.apply_page();
    EXPECT_EQ(settings.quality_bit_rate, 1000000);
}

} // namespace
} // namespace morvane::test
