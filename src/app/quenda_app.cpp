#include "app/quenda_app.h"

#include "app/quenda_dlg.h"
#include "platform/linux_desktop_shell.h"
#include "settings/settings_location.h"

namespace morvane {

CQuendaApp::CQuendaApp(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName("Morvane");
    setApplicationVersion(MORVANE_VERSION);
}

int CQuendaApp::run() {
    LinuxDesktopShell shell;
    CQuendaDlg main_window(SettingsLocation::of_this_process(), shell);
    main_window.exec();
    return 0;
}

} // namespace morvane
