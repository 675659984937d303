// SPDX-License-Identifier: GPL-3.0-or-later
#include "skin/link_button.h"

#include "skin/readable_colour.h"

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
    // What it is drawn on: a dialog's window colour, unless its parent paints another.
    setBackgroundRole(QPalette::Window);
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
    const QColor ground = palette().color(backgroundRole());
    painter.setPen(isEnabled() ? readable_colour(palette().color(QPalette::Link), ground)
                               : palette().color(QPalette::PlaceholderText));
    painter.drawText(rect().adjusted(frame_room, frame_room, -frame_room, -frame_room),
                     Qt::AlignCenter | Qt::TextShowMnemonic, text());
    if (hasFocus()) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.backgroundColor = ground;
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
