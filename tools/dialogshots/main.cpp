// morvane-dialog-shots: renders the settings sheet's three pages and the failed-files
// dialog on the running display and writes one PNG of each into a folder, for the README.
// Run on a virtual X server so that the pictures do not depend on a desktop's theme:
//   xvfb-run -a env QT_QPA_PLATFORM=xcb build/bin/morvane-dialog-shots docs/screenshots
#include "jobs/device_table.h"
#include "platform/linux_desktop_shell.h"
#include "platform/module_directory.h"
#include "settings/about.h"
#include "settings/app_settings.h"
#include "settings/device_page.h"
#include "settings/general_page.h"
#include "settings/my_property_sheet.h"
#include "settings/unsupported_dlg.h"

#include <QApplication>
#include <QDir>
#include <QListWidget>
#include <QScreen>
#include <QTest>
#include <cstdio>
#include <string>
#include <vector>

namespace {

using namespace morvane;

bool shoot(QWidget& window, const QString& file) {
    if (!QTest::qWaitForWindowExposed(&window)) {
        std::fprintf(stderr, "morvane-dialog-shots: %s never showed\n", qPrintable(file));
        return false;
    }
    QTest::qWait(200);
    const QImage picture = window.screen()->grabWindow(window.winId()).toImage();
    if (!picture.save(file, "PNG")) {
        std::fprintf(stderr, "morvane-dialog-shots: cannot write %s\n", qPrintable(file));
        return false;
    }
    std::printf("%s\n", qPrintable(file));
    return true;
}

void click_row(CMyPropertySheet& sheet, int row) {
    QListWidget* list = sheet.nav_list();
    const QRect item = list->visualItemRect(list->item(row));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, item.center());
}

} // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: morvane-dialog-shots <output folder> [assets folder]\n");
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]) + QStringLiteral("/");
    QDir().mkpath(out);
    // The assets lie beside the executables of the build, or in the folder named.
    std::string assets = argc == 3 ? std::string(argv[2]) : module_directory();
    if (assets.back() != '/') {
        assets += '/';
    }

    AppSettings settings;
    settings.output_folder = "/home/user/.local/share/Morvane/";
    settings.device_index = 4;
    DeviceTable table;
    build_device_table(table, assets);
    LinuxDesktopShell shell;

    CGeneralPage general(shell);
    CDevicePage devices;
    CAbout about(assets, shell);
    general.set_settings(&settings);
    devices.set_device_table(&table);
    devices.set_settings(&settings);

    bool written = true;
    {
        CMyPropertySheet sheet;
        sheet.AddPage(&general);
        sheet.AddPage(&devices);
        sheet.AddPage(&about);
        sheet.show();
        written &= shoot(sheet, out + QStringLiteral("settings-general.png"));
        click_row(sheet, 1);
        written &= shoot(sheet, out + QStringLiteral("settings-devices.png"));
        click_row(sheet, 2);
        written &= shoot(sheet, out + QStringLiteral("settings-about.png"));
        sheet.reject();
    }
    {
        const std::vector<std::string> failed = {
            "/home/user/Music/Live at the Harbour/01 - Opening.ogg",
            "/home/user/Videos/Holiday 2026/beach (broken copy).mkv",
            "/home/user/Downloads/radio-play-part-2.mp2",
        };
        CUnsupportedDlg dialog(failed);
        dialog.show();
        written &= shoot(dialog, out + QStringLiteral("failed-files.png"));
    }
    return written ? 0 : 1;
}
