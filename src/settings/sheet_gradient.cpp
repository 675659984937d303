// The colour of one column of the sheet's fades.
#include "settings/sheet_gradient.h"

#include <algorithm>

namespace morvane {

namespace {

int fade_channel(int start, int k, int width) {
    const double value = start + (k - 1) * (255 - start) / static_cast<double>(width);
    return std::clamp(static_cast<int>(value), 0, 255);
}

} // namespace

QColor fade_towards_white(const QColor& start, int k, int width) {
    if (width <= 0 || k < 1) {
        return start;
    }
    return QColor(fade_channel(start.red(), k, width), fade_channel(start.green(), k, width),
                  fade_channel(start.blue(), k, width));
}

} // namespace morvane
