// The default skin: the main window's background, the title band's round buttons, the
// stop button, and the Skin.xml that places them.
#pragma once

#include <QImage>
#include <QString>

namespace morvane::artgen {

class SkinArt {
public:
    enum class Button { Settings, Minimise, Close };

    QImage background() const;
    // Normal, hover, pressed and disabled frames side by side, magenta around the disc.
    QImage buttonStrip(Button button) const;
    // Normal, hover and pressed frames side by side, magenta around the disc.
    QImage stopStrip() const;
    QString skinXml() const;

    static QString fileName(Button button);
    static int controlId(Button button);
    static int left(Button button);
};

} // namespace morvane::artgen
