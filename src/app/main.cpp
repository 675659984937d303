// SPDX-License-Identifier: GPL-3.0-or-later
// Morvane, the desktop program. Its arguments are files and folders to convert at once
// (what "Open with" passes); Qt's own options are taken by QApplication first.
#include "app/main_window.h"
#include "platform/linux_desktop_shell.h"
#include "settings/settings_location.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Morvane"));
    QApplication::setApplicationVersion(QStringLiteral(MORVANE_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("org.morvane.Morvane"));

    morvane::LinuxDesktopShell shell;
    morvane::MainWindow window(morvane::SettingsLocation::of_this_process(), shell);
    window.show();

    std::vector<std::string> paths;
    const QStringList arguments = QApplication::arguments();
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        paths.push_back(
            QFile::encodeName(QFileInfo(arguments[i]).absoluteFilePath()).toStdString());
    }
    window.add_files(paths);
    return QApplication::exec();
}
