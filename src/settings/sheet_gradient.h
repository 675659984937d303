// The fade from a colour towards white that the settings sheet draws in its header band and
// under each navigation row: one colour per pixel column.
#pragma once

#include <QColor>

namespace morvane {

// Column k (k >= 1) of a fade over width columns: each channel moves from start's value
// towards 255 by (k - 1) / width of the way, truncated; column 1 is start itself.
QColor fade_towards_white(const QColor& start, int k, int width);

} // namespace morvane
