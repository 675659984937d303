// SPDX-License-Identifier: GPL-3.0-or-later
// Strip loading, shape and painting of the skinned button.
#include "skin/skin_button.h"

#include <QPainter>
#include <QStyle>
#include <QStyleOptionButton>

namespace morvane {

SkinButton::SkinButton(bool owner_drawn, QWidget* parent)
    : QAbstractButton(parent), owner_drawn_(owner_drawn) {
    // Reached with Tab; a click leaves the focus where it was.
    setFocusPolicy(Qt::TabFocus);
    setAttribute(Qt::WA_Hover);
}

bool SkinButton::load_strip(const std::string& path, int count, bool horizontal) {
    horizontal_ = horizontal;
    const bool loaded = count >= 1 && strip_.load(path);
    frame_count_ = loaded ? count : 0;
    if (!loaded) {
        strip_ = SkinPixmap();
        frame_size_ = QSize();
    } else {
        const QSize whole = strip_.size();
        frame_size_ = horizontal ? QSize(whole.width() / count, whole.height())
                                 : QSize(whole.width(), whole.height() / count);
    }
    apply_shape();
    return loaded;
}

int SkinButton::current_frame() const {
    // The keyboard focus shows as hover: the strip has no frame of its own for it.
    const int frame = !isEnabled() ? 3 : isDown() ? 2 : (underMouse() || hasFocus()) ? 1 : 0;
    return frame < frame_count_ ? frame : 0;
}

QRect SkinButton::state_frame_rect(int frame, qreal ratio) const {
    const QSize size = frame_size_ * ratio;
    return horizontal_ ? QRect(QPoint(frame * size.width(), 0), size)
                       : QRect(QPoint(0, frame * size.height()), size);
}

QSize SkinButton::sizeHint() const {
    return frame_size_;
}

void SkinButton::resizeEvent(QResizeEvent* event) {
    QAbstractButton::resizeEvent(event);
    apply_shape();
}

void SkinButton::apply_shape() {
    const QRegion shape =
        frame_count_ > 0 ? strip_.opaque_region(QRect(QPoint(0, 0), frame_size_)) : QRegion();
    // Qt reads an empty mask as "no mask": a button without opaque pixels must instead let
    // every click through to its owner.
    setAttribute(Qt::WA_TransparentForMouseEvents, shape.isEmpty());
    const QRect whole(QPoint(0, 0), frame_size_);
    const QRegion solid = shape.isEmpty() ? QRegion(whole) : shape;
    QRegion inner = solid;
    for (const QPoint step : {QPoint(2, 0), QPoint(-2, 0), QPoint(0, 2), QPoint(0, -2)}) {
        inner &= solid.translated(step);
    }
    focus_ring_ = solid - inner;
    if (shape.isEmpty()) {
        clearMask();
    } else {
        setMask(shape);
    }
    update();
}

void SkinButton::paintEvent(QPaintEvent*) {
    if (frame_count_ == 0) {
        return;
    }
    QPainter painter(this);
    const qreal ratio = devicePixelRatioF();
    const QPixmap& pixmap = strip_.for_ratio(ratio);
    const qreal art_ratio = pixmap.devicePixelRatio();
    const QRect target(QPoint(0, 0), frame_size_);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, art_ratio < ratio);
    if (owner_drawn_) {
        if (!isEnabled() && frame_count_ <= 3) {
            painter.setOpacity(0.4);
        }
        painter.drawPixmap(target, pixmap, state_frame_rect(current_frame(), art_ratio));
        painter.setOpacity(1.0);
    } else {
        QStyleOptionButton option;
        option.initFrom(this);
        option.state |= isDown() ? QStyle::State_Sunken : QStyle::State_Raised;
        option.text = text();
        style()->drawControl(QStyle::CE_PushButton, &option, &painter, this);
        if (current_frame() == 1) {
            painter.drawPixmap(target, pixmap, state_frame_rect(1, art_ratio));
        }
    }
    if (hasFocus()) {
        paint_focus_ring(painter);
    }
}

void SkinButton::paint_focus_ring(QPainter& painter) const {
    painter.setClipRegion(focus_ring_);
    painter.fillRect(rect(), palette().color(QPalette::Highlight));
    painter.setClipping(false);
}

} // namespace morvane
