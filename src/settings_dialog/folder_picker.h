// SPDX-License-Identifier: GPL-3.0-or-later
// How the General page asks the user for a folder: a function, so that tests answer in
// place of the desktop's folder dialog.
#pragma once

#include <functional>
#include <optional>
#include <string>

class QWidget;

namespace morvane {

// The chosen folder's path, or nothing when the user cancelled or chose no real folder.
using FolderPicker = std::function<std::optional<std::string>(QWidget* owner)>;

// The desktop's folder dialog, titled "Please select output path:".
std::optional<std::string> pick_folder_with_dialog(QWidget* owner);

} // namespace morvane
