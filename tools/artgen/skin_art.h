// SPDX-License-Identifier: GPL-3.0-or-later
// The default skin: the main window's background, the title band's round buttons, the
// stop button, and the Skin.xml that places them.
#pragma once

#include <QImage>
#include <QPainterPath>
#include <QString>

namespace morvane::artgen {

class SkinArt {
public:
    enum class Button { Settings, Minimise, Close };

    // scale 1 draws the skin's own pictures; scale 2 their @2x art, the same drawing at
    // twice the pixels, which the skin uses on screens of device pixel ratio 2.
    explicit SkinArt(int scale = 1) : scale_(scale) {}

    QImage background() const;
    // Normal, hover, pressed and disabled frames side by side, magenta around the disc.
    QImage buttonStrip(Button button) const;
    // Normal, hover and pressed frames side by side, magenta around the disc.
    QImage stopStrip() const;
    QString skinXml() const;

    // The file name of a picture at this art's scale: "close.bmp", "close@2x.bmp".
    QString fileName(const QString& base) const;
    static QString fileName(Button button);
    static int controlId(Button button);
    static int left(Button button);

private:
    // An image of size (in 1x pixels) at this scale, and a painter on it that draws in 1x
    // coordinates.
    QImage canvas(const QSize& size) const;
    QPainterPath scaled(const QPainterPath& path) const;

    int scale_;
};

} // namespace morvane::artgen
