// SPDX-License-Identifier: GPL-3.0-or-later
// Morvane, the desktop program. Its arguments are files and folders to convert at once
// (what "Open with" passes), after Qt's own options, which QApplication takes first;
// --help and --version answer without opening any window.
#include "app/main_window.h"
#include "app/termination_signals.h"
#include "platform/linux_desktop_shell.h"
#include "settings/settings_location.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QFile>
#include <QFileInfo>
#include <cstdio>
#include <cstring>

extern "C" {
#include <libavutil/log.h>
}

namespace {

void describe(QCommandLineParser& parser) {
    parser.setApplicationDescription(QCoreApplication::translate(
        "main", "Converts audio and video files for a portable player."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(
        QStringLiteral("files"),
        QCoreApplication::translate("main", "Files and folders to convert at once."),
        QStringLiteral("[FILE|FOLDER...]"));
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication::setApplicationName(QStringLiteral("Morvane"));
    QCoreApplication::setApplicationVersion(QStringLiteral(MORVANE_VERSION));
    // Answered before any window system is reached: they work without a display too.
    for (int index = 1; index < argc && std::strcmp(argv[index], "--") != 0; ++index) {
        const char* argument = argv[index];
        if (std::strcmp(argument, "--help") == 0 || std::strcmp(argument, "-h") == 0 ||
            std::strcmp(argument, "-?") == 0) {
            QCommandLineParser parser;
            describe(parser);
            std::fputs(parser.helpText().toLocal8Bit().constData(), stdout);
            return 0;
        }
        if (std::strcmp(argument, "--version") == 0 || std::strcmp(argument, "-v") == 0) {
            std::printf("morvane %s\n", MORVANE_VERSION);
            return 0;
        }
    }

    // FFmpeg's notes on every file are for developers: only its errors reach the journal.
    av_log_set_level(AV_LOG_ERROR);
    QApplication application(argc, argv);
    QApplication::setDesktopFileName(QStringLiteral("org.morvane.Morvane"));
    QCommandLineParser parser;
    describe(parser);
    parser.process(application); // a wrong option: a message and exit status 1

    morvane::LinuxDesktopShell shell;
    morvane::MainWindow window(morvane::SettingsLocation::of_this_process(), shell);
    morvane::TerminationSignals termination;
    QObject::connect(&termination, &morvane::TerminationSignals::termination_requested, &window,
                     &QWidget::close);
    window.show();

    std::vector<std::string> paths;
    for (const QString& argument : parser.positionalArguments()) {
        paths.push_back(QFile::encodeName(QFileInfo(argument).absoluteFilePath()).toStdString());
    }
    window.add_files(paths);
    const int status = QApplication::exec();
    return termination.signal_taken() != 0 ? 128 + termination.signal_taken() : status;
}
