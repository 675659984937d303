// A push button drawn entirely from one image strip holding a frame per visual state
// (normal, hover, pressed, disabled). Key-coloured pixels of frame 0 are cut out of the
// widget, so the button may be round or irregular and takes clicks on its opaque pixels
// only; the owner's background shows, and is clicked, around it.
#pragma once

#include "platform/image.h"

#include <QAbstractButton>
#include <QRegion>
#include <optional>
#include <string>

namespace morvane {

class CBitmapButtonEx : public QAbstractButton {
    Q_OBJECT

public:
    enum State : int {
        STATE_NORMAL = 0,
        STATE_HOVER = 2,
        STATE_DISABLED = 3,
        STATE_PRESSED = 4,
    };

    // owner_drawn: every state comes from the strip. Otherwise the style draws an ordinary
    // button face, and only hover and leave paint strip frames over it.
    CBitmapButtonEx(int id, bool owner_drawn, QWidget* parent);

    // Loads the strip of count frames (side by side when horizontal, else stacked), derives
    // the frame size and the outline of frame 0, and shapes the widget with it. False when
    // the strip could not be loaded or count is below 1: the button then shows nothing and
    // takes no clicks.
    bool LoadImageStrip(const std::string& path, int count, bool horizontal);

    // Composes the frame of state over what target holds at (0, 0), key colour transparent.
    void DrawState(int state, QPainter& target) const;

    int id() const;
    int state() const { return m_nState; }
    bool isOwnerDrawn() const { return m_bOwnerDrawn; }
    int frameWidth() const { return m_nFrameWidth; }
    int frameHeight() const { return m_nFrameHeight; }
    // Where the frame of state lies in the strip. A state whose frame the strip lacks shows
    // frame 0.
    QPoint frameOffset(int state) const;
    QSize sizeHint() const override;

signals:
    // A click, carrying the button's control identifier.
    void command(int id);

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void ShowHover();
    // Paints m_nState at once, bypassing the state the next ordinary repaint derives.
    void DrawNow();
    void ApplyShape();
    void DrawFace(QPainter& painter);

    Image m_imgStrip;
    int m_nFrameWidth = 0;
    int m_nFrameHeight = 0;
    int m_nFrameCount = 0;
    int m_nState = STATE_NORMAL;
    bool m_bHorizontal = true;
    std::optional<QRegion> m_rgnShape; // none until a strip is loaded
    Image m_imgMask;
    bool m_bOwnerDrawn;
    bool m_drawStoredState = false;
};

} // namespace morvane
