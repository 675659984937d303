// SPDX-License-Identifier: GPL-3.0-or-later
// Reading the pictures the settings pages show (device pictures, the About picture).
#pragma once

#include <QPixmap>
#include <string>

namespace morvane {

// The picture in the file at path, or a null pixmap when it is missing, not a regular file
// (a named pipe would block the dialog) or cannot be read; the pages then show none.
QPixmap load_picture(const std::string& path);

} // namespace morvane
