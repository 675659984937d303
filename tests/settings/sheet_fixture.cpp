// The shared set-up of the settings dialog tests.
#include "sheet_fixture.h"

#include <QAbstractButton>
#include <QApplication>
#include <QListWidget>
#include <QScreen>
#include <QTest>

namespace morvane::test {

SheetFixture::SheetFixture() {
    build_device_table(table, kAssetsDir);
    general.set_settings(&settings);
    devices.set_device_table(&table);
    devices.set_settings(&settings);
    settings.output_folder = "/home/someone/Converted/";
}

std::unique_ptr<CMyPropertySheet> SheetFixture::open_sheet() {
    auto sheet = std::make_unique<CMyPropertySheet>();
    sheet->AddPage(&general);
    sheet->AddPage(&devices);
    sheet->AddPage(&about);
    sheet->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(sheet.get()));
    sheet->activateWindow();
    QApplication::processEvents();
    return sheet;
}

void SheetFixture::click_row(CMyPropertySheet& sheet, int row) {
    QListWidget* list = sheet.nav_list();
    ASSERT_LT(row, list->count());
    const QRect item = list->visualItemRect(list->item(row));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, item.center());
}

void SheetFixture::click_button(CMyPropertySheet& sheet, int id) {
    auto* button = control<QAbstractButton>(&sheet, id);
    ASSERT_NE(button, nullptr);
    QTest::mouseClick(button, Qt::LeftButton);
}

QImage on_screen(QWidget& window) {
    QApplication::processEvents();
    return window.screen()
        ->grabWindow(window.winId())
        .toImage()
        .convertToFormat(QImage::Format_RGB32);
}

QWidget* active_modal() {
    return QApplication::activeModalWidget();
}

} // namespace morvane::test
