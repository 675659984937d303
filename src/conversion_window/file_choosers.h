// SPDX-License-Identifier: GPL-3.0-or-later
// The desktop's dialogs that choose files, or a folder, to convert (the drop area's click,
// Ctrl+O and Ctrl+Shift+O); tests answer in their place.
#pragma once

#include <QString>
#include <string>
#include <vector>

class QWidget;

namespace morvane {

// Audio and video files by their extensions (any file when asked); empty when cancelled.
std::vector<std::string> choose_files_with_dialog(QWidget* parent);
// Its filters: the files a folder's walk takes by their name (see media_extensions()), then
// all files.
QString media_file_filter();
// One folder, whose media files are converted; empty when cancelled.
std::vector<std::string> choose_folder_with_dialog(QWidget* parent);

} // namespace morvane
