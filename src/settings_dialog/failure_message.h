// SPDX-License-Identifier: GPL-3.0-or-later
// What the settings pages say when the desktop cannot do what a button asked (no file
// manager, no browser): a warning that does not block the dialog under it.
#pragma once

#include <QString>

class QWidget;

namespace morvane {

// A window-modal warning over parent, with a beep; it deletes itself when closed.
void show_failure(QWidget* parent, const QString& text);

} // namespace morvane
