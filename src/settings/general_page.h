// The General page of the settings sheet: the output folder (shown read-only, changed
// through Browse, shown through Open), the two actions after a batch and the topmost flag.
#pragma once

#include "platform/desktop_shell.h"
#include "settings/app_settings.h"
#include "settings/folder_picker.h"
#include "settings/sheet_page.h"

#include <optional>
#include <string>

class QCheckBox;
class QLineEdit;
class QPushButton;

namespace morvane {

class CGeneralPage : public SheetPage {
    Q_OBJECT

public:
    static constexpr int browse_id = 1003;
    static constexpr int folder_id = 1007;
    static constexpr int open_id = 1008;
    static constexpr int shutdown_id = 1009;
    static constexpr int open_output_id = 1010;
    static constexpr int topmost_id = 1018;

    // Open shows folders through shell, which must outlive the page.
    explicit CGeneralPage(DesktopShell& shell, QWidget* parent = nullptr);

    // The record the page shows and, on OK, writes; it must outlive the sheet's run.
    void set_settings(AppSettings* settings) { settings_ = settings; }
    // Replaces the folder dialog behind Browse.
    void set_folder_picker(FolderPicker picker) { folder_picker_ = std::move(picker); }

protected:
    void OnInitDialog() override;
    void OnApply() override;

private:
    void OnBrowse();
    void OnOpen();

    DesktopShell& shell_;
    AppSettings* settings_ = nullptr;
    FolderPicker folder_picker_ = pick_folder_with_dialog;
    // The folder Browse put into the read-only field, kept as the picker gave it: the field
    // shows a name that is not valid UTF-8 only approximately.
    std::optional<std::string> chosen_folder_;
    QLineEdit* folder_;
    QPushButton* browse_;
    QPushButton* open_;
    QCheckBox* shutdown_;
    QCheckBox* open_output_;
    QCheckBox* topmost_;
};

} // namespace morvane
