// The settings dialog and the failed-files dialog as the main window opens them.
#include "app/dialogs.h"

#include "settings/about.h"
#include "settings/device_page.h"
#include "settings/general_page.h"
#include "settings/my_property_sheet.h"
#include "settings/unsupported_dlg.h"

namespace morvane {

bool run_settings_dialog(AppSettings& settings, const DeviceTable& devices,
                         const std::string& module_directory, DesktopShell& shell,
                         QWidget* parent) {
    AppSettings chosen = settings;
    CGeneralPage general(shell);
    CDevicePage device;
    CAbout about(module_directory, shell);
    general.set_settings(&chosen);
    device.set_settings(&chosen);
    device.set_device_table(&devices);
    CMyPropertySheet sheet(parent);
    sheet.AddPage(&general);
    sheet.AddPage(&device);
    sheet.AddPage(&about);
    if (sheet.exec() != QDialog::Accepted) {
        return false;
    }
    settings = chosen;
    return true;
}

void show_failed_files_dialog(const std::vector<FailedFile>& failed_files, QWidget* parent) {
    CUnsupportedDlg dialog(failed_files, parent);
    dialog.exec();
}

} // namespace morvane
