// Dialog-unit conversion from the font's measured letters.
#include "settings/dialog_units.h"

#include <QFontMetrics>
#include <algorithm>

namespace morvane {

QFont dialog_font(const QString& face, int point_size) {
    QFont font(face);
    font.setPointSize(point_size);
    return font;
}

namespace {

// Rounded to nearest, halves away from zero, as the template converter of the desktop
// these layouts were drawn for.
int scale(int units, int base, int divisor) {
    const long long product = static_cast<long long>(units) * base;
    const long long half = divisor / 2;
    return static_cast<int>(product >= 0 ? (product + half) / divisor
                                         : -((-product + half) / divisor));
}

} // namespace

DialogUnits::DialogUnits(const QFont& font) {
    const QFontMetrics metrics(font);
    // The average over the 52 Latin letters, not the font's declared average, which many
    // faces leave at zero or set for a different alphabet.
    const int letters = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    average_char_width_ = std::max(1, (letters / 26 + 1) / 2);
    line_height_ = std::max(1, metrics.height());
}

int DialogUnits::x(int units) const {
    return scale(units, average_char_width_, 4);
}

int DialogUnits::y(int units) const {
    return scale(units, line_height_, 8);
}

QRect DialogUnits::rect(int x_units, int y_units, int width, int height) const {
    return QRect(x(x_units), y(y_units), x(width), y(height));
}

} // namespace morvane
