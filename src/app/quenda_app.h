// The application: one main window, run modally; the process ends when it closes.
#pragma once

#include <QApplication>

namespace morvane {

class CQuendaApp : public QApplication {
    Q_OBJECT

public:
    CQuendaApp(int& argc, char** argv);

    // Shows the main window until it closes; the process's exit status.
    int run();
};

} // namespace morvane
