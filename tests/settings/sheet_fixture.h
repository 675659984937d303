// What the settings dialog tests share: a settings record, the device table over the
// repository's pictures, a recording shell, the three pages as the main window keeps them,
// and ways to run a sheet over them with real input.
#pragma once

#include "jobs/device_table.h"
#include "settings/about.h"
#include "settings/app_settings.h"
#include "settings/device_page.h"
#include "settings/general_page.h"
#include "settings/my_property_sheet.h"
#include "skin/control_id.h"
#include "support/recording_shell.h"

#include <QImage>
#include <QWidget>
#include <array>
#include <gtest/gtest.h>
#include <memory>

namespace morvane::test {

inline const std::string kAssetsDir = MORVANE_ASSETS_DIR;

class SheetFixture : public testing::Test {
protected:
    SheetFixture();

    // A sheet over the three pages, shown and exposed; the test's pages outlive it.
    std::unique_ptr<CMyPropertySheet> open_sheet();
    // A click on the navigation list's row, as the user makes it.
    static void click_row(CMyPropertySheet& sheet, int row);
    static void click_button(CMyPropertySheet& sheet, int id);

    std::array<SheetPage*, 3> pages() { return {&general, &devices, &about}; }

    template <class Control>
    static Control* control(const QWidget* parent, int id) {
        auto* found = qobject_cast<Control*>(FindControl(parent, id));
        EXPECT_NE(found, nullptr) << "control " << id;
        return found;
    }

    AppSettings settings;
    DeviceTable table;
    RecordingShell shell;
    CGeneralPage general{shell};
    CDevicePage devices;
    CAbout about{kAssetsDir, shell};
};

// What the offscreen screen shows of the window, after pending paints.
QImage on_screen(QWidget& window);
// The first window on show that is a modal dialog, or null.
QWidget* active_modal();

} // namespace morvane::test
