// SPDX-License-Identifier: GPL-3.0-or-later
#include "skin/link_button.h"

#include <QKeyEvent>
#include <QStyleOptionFocusRect>
#include <QStylePainter>

namespace morvane {

namespace {

// Room around the text for the focus frame.
constexpr int frame_room = 2;

} // namespace

LinkButton::LinkButton(const QString& text, QWidget* parent) : QPushButton(text, parent) {
    setFlat(true);
    setAutoDefault(false);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::StrongFocus);
    setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Fixed);
}

QSize LinkButton::sizeHint() const {
    const QSize text = fontMetrics().size(Qt::TextShowMnemonic, this->text());
    return text + QSize(2 * frame_room, 2 * frame_room);
}

QSize LinkButton::minimumSizeHint() const {
    return sizeHint();
}

void LinkButton::paintEvent(QPaintEvent*) {
    QStylePainter painter(this);
    QFont font = this->font();
    font.setUnderline(true);
    painter.setFont(font);
    painter.setPen(palette().color(isEnabled() ? QPalette::Link : QPalette::PlaceholderText));
    painter.drawText(rect().adjusted(frame_room, frame_room, -frame_room, -frame_room),
                     Qt::AlignCenter | Qt::TextShowMnemonic, text());
    if (hasFocus()) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.backgroundColor = palette().color(QPalette::Window);
        painter.drawPrimitive(QStyle::PE_FrameFocusRect, focus);
    }
}

void LinkButton::keyPressEvent(QKeyEvent* event) {
    // As a link is followed: Return too, not only Space.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        click();
        return;
    }
    QPushButton::keyPressEvent(event);
}

} // namespace morvane
