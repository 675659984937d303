// The picture of a vertical scrollbar for skins: an up arrow at the top, a down arrow at
// the bottom and a tiled track between them. It is drawn only: no position, no thumb, no
// input of its own (clicks on it go nowhere, not even to the owner).
#pragma once

#include "platform/image.h"

#include <QRect>
#include <QWidget>
#include <string>

namespace morvane {

class CScrollbarEx : public QWidget {
    Q_OBJECT

public:
    CScrollbarEx(int id, QWidget* parent);

    // Loads the track image and the arrows image (up arrow in its upper half, down arrow in
    // its lower half) and lays the three parts out in the current size, once. False when
    // either image could not be loaded; the parts are laid out all the same.
    bool LoadImages(const std::string& bar_path, const std::string& buttons_path);

    const QRect& upRect() const { return m_rcUp; }
    const QRect& downRect() const { return m_rcDown; }
    const QRect& trackRect() const { return m_rcTrack; }
    int buttonHeight() const { return m_nButtonHeight; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Image m_imgBar;
    Image m_imgButtons;
    QRect m_rcUp;
    QRect m_rcDown;
    QRect m_rcTrack;
    int m_nButtonHeight = 0;
};

} // namespace morvane
