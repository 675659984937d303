// SPDX-License-Identifier: GPL-3.0-or-later
// Morvane, the desktop program. Its arguments are files and folders to convert at once (what
// "Open with" passes), besides Qt's own options. The command line is read before any window
// system is reached: --help, --help-all, --version and a wrong option answer without a
// display. One Morvane runs per desktop: a second start hands its files to the first.
#include "app/main_window.h"
#include "app/running_instance.h"
#include "app/termination_signals.h"
#include "conversion_window/conversion_controller.h"
#include "engine/ffmpeg_messages.h"
#include "platform/linux_desktop_shell.h"
#include "settings/settings_location.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

namespace {

// How long a second start waits for the first to take its files.
constexpr int hand_over_timeout_ms = 10000;

// The options QGuiApplication and its X11 and Wayland platforms take from the command line,
// so that they are not wrong options here; only --help-all lists them.
struct QtOption {
    const char* name;
    const char* value; // nullptr: a flag
    const char* description;
};
constexpr QtOption qt_options[] = {
    {"platform", "name[:options]", "The platform plugin (xcb, wayland, offscreen, ...)."},
    {"platformpluginpath", "path", "Where platform plugins are looked for."},
    {"platformtheme", "theme", "The platform theme."},
    {"plugin", "plugin", "An extra plugin to load."},
    {"qwindowgeometry", "geometry", "The main window's geometry."},
    {"geometry", "geometry", "As -qwindowgeometry (X11)."},
    {"qwindowicon", "icon", "The main window's icon."},
    {"qwindowtitle", "title", "The main window's title."},
    {"title", "title", "As -qwindowtitle (X11)."},
    {"reverse", nullptr, "Lays the windows out right to left."},
    {"session", "session", "Restores this session."},
    {"display", "display", "The X display to use."},
    {"name", "name", "The application's name (X11)."},
    {"visual", "TrueColor", "Forces a true-colour visual (X11)."},
    {"ncols", "count", "The number of colours (X11)."},
    {"cmap", nullptr, "A private colour map (X11)."},
    {"nograb", nullptr, "Never grabs the mouse or the keyboard (X11)."},
    {"dograb", nullptr, "Grabs them even when running in a debugger (X11)."},
    {"style", "style", "The widget style."},
    {"stylesheet", "file", "A style sheet."},
    {"widgetcount", nullptr, "Prints how many widgets were left at the end."},
    {"testability", nullptr, "Loads the testability driver."},
    {"qmljsdebugger", "port", "Enables the QML debugger."},
};

void describe(QCommandLineParser& parser, bool with_qt_options) {
    // "-platform xcb" as Qt writes its options, one dash and a word.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.setApplicationDescription(QCoreApplication::translate(
        "main", "Converts audio and video files for a portable player. A second start hands "
                "its files to the Morvane already running on the desktop."));
    parser.addHelpOption();
    parser.addVersionOption();
    for (const QtOption& qt : qt_options) {
        QCommandLineOption option(QString::fromLatin1(qt.name),
                                  QCoreApplication::translate("main", qt.description));
        if (qt.value != nullptr) {
            option.setValueName(QString::fromLatin1(qt.value));
        }
        if (!with_qt_options) {
            option.setFlags(QCommandLineOption::HiddenFromHelp);
        }
        parser.addOption(option);
    }
    parser.addPositionalArgument(
        QStringLiteral("files"),
        QCoreApplication::translate("main", "Files and folders to convert at once."),
        QStringLiteral("[FILE|FOLDER...]"));
}

// Prints an answer (the help, the version); one that cannot be written (a full disk, a closed
// pipe) is said, and is a failure, as for any GNU tool.
int print_answer(const QByteArray& text, const char* what) {
    // errno is read at the call that failed: any later call may change it.
    if (std::fputs(text.constData(), stdout) == EOF || std::fflush(stdout) != 0) {
        std::fprintf(stderr, "morvane: cannot write the %s: %s\n", what, std::strerror(errno));
        return 1;
    }
    return 0;
}

// What the command line asks for besides a window, answered without one; a status to end
// with, or nothing to go on.
std::optional<int> answer_without_window(int argc, char** argv, QStringList& positional) {
    QStringList arguments;
    for (int index = 0; index < argc; ++index) {
        arguments << QString::fromLocal8Bit(argv[index]);
    }
    QCommandLineParser parser;
    describe(parser, false);
    const bool parsed = parser.parse(arguments);
    const bool help_all = parsed && parser.isSet(QStringLiteral("help-all"));
    const bool help = parsed && (help_all || parser.isSet(QStringLiteral("help")));
    const bool version = parsed && parser.isSet(QStringLiteral("version"));
    if (parsed && !help && !version) {
        positional = parser.positionalArguments();
        return std::nullopt;
    }
    // The program's own name in the texts (not the private folder the launcher starts it
    // from), and nothing that needs a display.
    int core_argc = 1;
    char name[] = "morvane";
    char* core_argv[] = {name, nullptr};
    QCoreApplication core(core_argc, core_argv);
    if (!parsed) {
        // One line, as morvane-convert's.
        std::fprintf(stderr, "morvane: %s Try --help.\n", qPrintable(parser.errorText()));
        return 2;
    }
    if (version) {
        return print_answer(QByteArray("morvane " MORVANE_VERSION "\n"), "version");
    }
    QCommandLineParser full;
    describe(full, help_all);
    return print_answer(full.helpText().toLocal8Bit(), "help");
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication::setApplicationName(QStringLiteral("Morvane"));
    QCoreApplication::setApplicationVersion(QStringLiteral(MORVANE_VERSION));
    QStringList positional;
    if (const std::optional<int> status = answer_without_window(argc, argv, positional)) {
        return *status;
    }
    std::vector<std::string> paths;
    for (const QString& argument : positional) {
        paths.push_back(QFile::encodeName(QFileInfo(argument).absoluteFilePath()).toStdString());
    }

    morvane::RunningInstance instance;
    if (!instance.claim()) {
        // Another Morvane runs on this desktop: it takes the files (or comes to the front).
        QCoreApplication core(argc, argv);
        if (instance.hand_over(paths, hand_over_timeout_ms)) {
            return 0;
        }
        std::fputs("morvane: the Morvane running on this desktop does not answer; "
                   "this one opens a window of its own\n",
                   stderr);
    }

    // FFmpeg's notes on every file are for developers: only its errors reach the journal.
    morvane::show_ffmpeg_messages(morvane::FfmpegMessages::errors);
    QApplication application(argc, argv);
    QApplication::setDesktopFileName(QStringLiteral("org.morvane.Morvane"));

    morvane::LinuxDesktopShell shell;
    morvane::MainWindow window(morvane::SettingsLocation::of_this_process(), shell);
    morvane::TerminationSignals termination;
    window.conversion()->set_immediate_quit(&termination.immediate_quit());
    QObject::connect(&termination, &morvane::TerminationSignals::termination_requested, &window,
                     &QWidget::close);
    QObject::connect(&instance, &morvane::RunningInstance::files_handed_over, &window,
                     [&window](const std::vector<std::string>& handed) {
                         if (handed.empty()) {
                             window.bring_to_front();
                         } else {
                             window.add_files(handed);
                         }
                     });
    window.show();
    instance.listen();
    window.add_files(paths);
    const int status = QApplication::exec();
    return termination.signal_taken() != 0 ? 128 + termination.signal_taken() : status;
}
