// Dialog units: the layout measure of dialog templates, scaled by the dialog's font so that
// a dialog grows with its text. One horizontal unit is a quarter of the font's average
// character width, one vertical unit an eighth of its line height.
#pragma once

#include <QFont>
#include <QRect>

namespace morvane {

// A dialog template's font, asked for by name (fontconfig substitutes a face it lacks).
QFont dialog_font(const QString& face, int point_size);

class DialogUnits {
public:
    explicit DialogUnits(const QFont& font);

    int x(int units) const;
    int y(int units) const;
    // A template rectangle (x, y, width, height in dialog units) in pixels.
    QRect rect(int x, int y, int width, int height) const;

    int average_char_width() const { return average_char_width_; }
    int line_height() const { return line_height_; }

private:
    int average_char_width_;
    int line_height_;
};

} // namespace morvane
