// SPDX-License-Identifier: GPL-3.0-or-later
// What the main window tests share: a module folder holding the default skin and devices,
// an output folder, a recording shell, media written by FFmpeg's encoders, and real drops.
#pragma once

#include "app/main_window.h"
#include "support/recording_shell.h"
#include "support/temp_folder.h"

#include <QSize>
#include <QWidget>
#include <gtest/gtest.h>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace morvane::test {

// Sends a real drag-enter and drop of local files, as a file browser does.
void drop_files(QWidget* target, const std::vector<std::string>& paths);

class MainWindowFixture : public testing::Test {
protected:
    MainWindowFixture();

    std::unique_ptr<MainWindow> open_window();
    void write_config(const std::string& text);
    std::string config() const;
    // Two seconds of a stereo tone (WAV), and a clip with video and sound (MP4).
    std::string tone(const std::string& name);
    std::string clip(const std::string& name, double seconds = 40.0, QSize size = {320, 240});
    // The visible names in the output folder.
    std::set<std::string> outputs() const;

    TempFolder module_folder;
    TempFolder config_folder;
    TempFolder output_folder;
    TempFolder media;
    SettingsLocation location;
    RecordingShell shell;
};

} // namespace morvane::test
