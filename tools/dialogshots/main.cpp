// SPDX-License-Identifier: GPL-3.0-or-later
// morvane-dialog-shots: shows the settings dialog's four pages and the failed-files dialog
// (files not converted, and one not sent to the player) on the running display and writes
// one PNG of each into a folder, for the README. At a
// device pixel ratio of 2 (QT_SCALE_FACTOR=2) the files are named with "@2x", under a dark
// theme with "-dark". tools/screenshots.sh runs it in the four ways on a virtual X server.
#include "jobs/device_table.h"
#include "platform/linux_desktop_shell.h"
#include "platform/program_folder.h"
#include "settings/app_settings.h"
#include "settings_dialog/failed_files_dialog.h"
#include "settings_dialog/settings_dialog.h"

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

bool shoot(QWidget& window, const QString& folder, const QString& name) {
    if (!QTest::qWaitForWindowExposed(&window)) {
        std::fprintf(stderr, "morvane-dialog-shots: %s never showed\n", qPrintable(name));
        return false;
    }
    QTest::qWait(200);
    // A dark desktop theme (GTK_THEME=Adwaita:dark with QT_QPA_PLATFORMTHEME=gtk3) names
    // its pictures "-dark".
    QString suffix = window.palette().color(QPalette::Window).lightness() < 128
                         ? QStringLiteral("-dark")
                         : QString();
    if (window.devicePixelRatio() > 1.5) {
        suffix += QStringLiteral("@2x");
    }
    const QString file = folder + name + suffix + QStringLiteral(".png");
    const QImage picture = window.screen()->grabWindow(window.winId()).toImage();
    if (!picture.save(file, "PNG")) {
        std::fprintf(stderr, "morvane-dialog-shots: cannot write %s\n", qPrintable(file));
        return false;
    }
    std::printf("%s\n", qPrintable(file));
    return true;
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
    // The assets of this build or installation, or those in the folder named.
    std::string assets = argc == 3 ? std::string(argv[2]) : data_folder();
    if (assets.back() != '/') {
        assets += '/';
    }

    AppSettings settings;
    settings.output_folder = "/home/user/.local/share/Morvane/";
    settings.device_index = 4;
    const DeviceTable table = device_table(assets);
    LinuxDesktopShell shell;

    bool written = true;
    {
        SettingsDialog dialog(settings, table, assets, shell);
        dialog.show();
        auto* pages = dialog.findChild<QListWidget*>();
        written &= shoot(dialog, out, QStringLiteral("settings-general"));
        // As a keyboard user gets there: Down in the list of pages.
        QTest::keyClick(pages, Qt::Key_Down);
        written &= shoot(dialog, out, QStringLiteral("settings-devices"));
        QTest::keyClick(pages, Qt::Key_Down);
        written &= shoot(dialog, out, QStringLiteral("settings-films"));
        QTest::keyClick(pages, Qt::Key_Down);
        written &= shoot(dialog, out, QStringLiteral("settings-about"));
    }
    {
        // Reasons as the program gives them.
        const std::vector<FailedFile> failed = {
            {"/home/user/Music/Live at the Harbour/01 - Opening.ogg",
             "Invalid data found when processing input"},
            {"/home/user/Videos/Holiday 2026/beach (copy from the old phone).mkv",
             "incomplete: the input ends at 4:12 of 21:40"},
            {"/home/user/Downloads/radio-play-part-2.mp3",
             "refused: a playlist that names other files (hls)"},
            {"/home/user/Videos/camera/clip-0042.mov", "no picture in this file could be decoded"},
        };
        const std::vector<FailedFile> not_sent = {
            {"/home/user/Videos/Holiday 2026/harbour at night.mkv",
             "not enough space on the player (412.6 MB needed, 120.3 MB free)"},
        };
        FailedFilesDialog dialog(failed, not_sent);
        dialog.show();
        written &= shoot(dialog, out, QStringLiteral("failed-files"));
    }
    return written ? 0 : 1;
}
