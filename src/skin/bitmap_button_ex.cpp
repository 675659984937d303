// Strip loading, state changes and painting of the skinned button.
#include "skin/bitmap_button_ex.h"

#include "platform/raster_ops.h"
#include "skin/control_id.h"
#include "skin/skin_drawing.h"

#include <QEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionButton>
#include <utility>

namespace morvane {

namespace {

int frameIndexOf(int state) {
    switch (state) {
    case CBitmapButtonEx::STATE_HOVER:
        return 1;
    case CBitmapButtonEx::STATE_PRESSED:
        return 2;
    case CBitmapButtonEx::STATE_DISABLED:
        return 3;
    default:
        return 0;
    }
}

} // namespace

CBitmapButtonEx::CBitmapButtonEx(int id, bool owner_drawn, QWidget* parent)
    : QAbstractButton(parent), m_bOwnerDrawn(owner_drawn) {
    SetControlId(this, id);
    // Skin buttons must not take the keyboard focus from the window's main child.
    setFocusPolicy(Qt::NoFocus);
    setMouseTracking(true);
    connect(this, &QAbstractButton::clicked, this, [this] { emit command(this->id()); });
}

int CBitmapButtonEx::id() const {
    return ControlId(this);
}

bool CBitmapButtonEx::LoadImageStrip(const std::string& path, int count, bool horizontal) {
    m_bHorizontal = horizontal;
    m_imgStrip.DestroyFrames();
    m_imgStrip.Destroy();
    const bool loaded = count >= 1 && m_imgStrip.Load(path);
    m_nFrameCount = loaded ? count : 0;

    const int width = static_cast<int>(m_imgStrip.GetWidth());
    const int height = static_cast<int>(m_imgStrip.GetHeight());
    const int frames = loaded ? count : 1;
    m_nFrameWidth = horizontal ? width / frames : width;
    m_nFrameHeight = horizontal ? height : height / frames;

    FrameShape frame_shape = ComputeFrameShape(m_imgStrip, m_nFrameWidth, m_nFrameHeight);
    m_rgnShape = std::move(frame_shape.shape);
    m_imgMask = std::move(frame_shape.mask);
    ApplyShape();
    return loaded;
}

QPoint CBitmapButtonEx::frameOffset(int state) const {
    int index = frameIndexOf(state);
    if (index >= m_nFrameCount) {
        index = 0;
    }
    return m_bHorizontal ? QPoint(index * m_nFrameWidth, 0) : QPoint(0, index * m_nFrameHeight);
}

void CBitmapButtonEx::DrawState(int state, QPainter& target) const {
    if (!m_imgStrip.IsValid() || !m_imgMask.IsValid()) {
        return;
    }
    const QPoint offset = frameOffset(state);
    if (SupportsRasterOps(target)) {
        ComposeTransparent(target, 0, 0, m_imgStrip.MakeBitmap(), offset, m_imgMask.MakeBitmap());
        return;
    }
    // A device without raster operations: the outline alone keeps the key colour out.
    target.save();
    target.setClipRegion(m_rgnShape.value_or(QRegion()), Qt::IntersectClip);
    target.drawImage(QPoint(0, 0), m_imgStrip.MakeBitmap(),
                     QRect(offset, QSize(m_nFrameWidth, m_nFrameHeight)));
    target.restore();
}

QSize CBitmapButtonEx::sizeHint() const {
    return {m_nFrameWidth, m_nFrameHeight};
}

void CBitmapButtonEx::ApplyShape() {
    if (!m_rgnShape) {
        return;
    }
    // Qt reads an empty mask as "no mask": a button without opaque pixels must instead let
    // every click through to its owner.
    const bool empty = m_rgnShape->isEmpty();
    setAttribute(Qt::WA_TransparentForMouseEvents, empty);
    if (empty) {
        clearMask();
    } else {
        setMask(*m_rgnShape);
    }
    update();
}

void CBitmapButtonEx::paintEvent(QPaintEvent* /*event*/) {
    const bool draw_stored_state = std::exchange(m_drawStoredState, false);
    if (m_rgnShape && m_rgnShape->isEmpty()) {
        return;
    }
    QPainter painter(this);
    if (!m_bOwnerDrawn) {
        DrawFace(painter);
        if (draw_stored_state) {
            DrawState(m_nState, painter);
        }
        return;
    }
    // An ordinary repaint shows what the button's condition says; hover is shown only by
    // the hover notification's own drawing.
    if (!draw_stored_state) {
        m_nState = isDown() ? STATE_PRESSED : !isEnabled() ? STATE_DISABLED : STATE_NORMAL;
    }
    DrawState(m_nState, painter);
}

void CBitmapButtonEx::DrawFace(QPainter& painter) {
    QStyleOptionButton option;
    option.initFrom(this);
    option.state |= isDown() ? QStyle::State_Sunken : QStyle::State_Raised;
    option.text = text();
    style()->drawControl(QStyle::CE_PushButton, &option, &painter, this);
}

void CBitmapButtonEx::DrawNow() {
    if (!isVisible()) {
        return;
    }
    m_drawStoredState = true;
    repaint();
}

void CBitmapButtonEx::ShowHover() {
    // A pressed or disabled button keeps its frame while the mouse is over it.
    if (!isEnabled() || isDown() || m_nState == STATE_HOVER) {
        return;
    }
    m_nState = STATE_HOVER;
    DrawNow();
}

bool CBitmapButtonEx::event(QEvent* event) {
    const bool handled = QAbstractButton::event(event);
    // Styles ask for a repaint on hover; an ordinary repaint shows the normal frame, so
    // it would wipe out the hover frame at once.
    if (event->type() == QEvent::Polish || event->type() == QEvent::StyleChange) {
        setAttribute(Qt::WA_Hover, false);
    }
    return handled;
}

void CBitmapButtonEx::enterEvent(QEnterEvent* event) {
    ShowHover();
    QAbstractButton::enterEvent(event);
}

void CBitmapButtonEx::mouseMoveEvent(QMouseEvent* event) {
    ShowHover();
    QAbstractButton::mouseMoveEvent(event);
}

void CBitmapButtonEx::leaveEvent(QEvent* event) {
    m_nState = STATE_NORMAL;
    if (isEnabled()) {
        DrawNow();
    } else {
        update();
    }
    QAbstractButton::leaveEvent(event);
}

} // namespace morvane
