// SPDX-License-Identifier: GPL-3.0-or-later
// The link's text and its keyboard focus.
#include "settings_dialog/link_label.h"

#include <QFocusEvent>

namespace morvane {

LinkLabel::LinkLabel(const QString& text, const QString& url, QWidget* parent)
    : QLabel(QStringLiteral("<a href=\"%1\">%2</a>").arg(url.toHtmlEscaped(), text.toHtmlEscaped()),
             parent) {
    setTextFormat(Qt::RichText);
    setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    setToolTip(url);
    setAccessibleName(text);
}

void LinkLabel::focusInEvent(QFocusEvent* event) {
    QLabel::focusInEvent(event);
    // The label's own step to its first (or, going back, its last) link; it always has one,
    // so the focus stays here.
    if (event->reason() == Qt::TabFocusReason || event->reason() == Qt::BacktabFocusReason) {
        QLabel::focusNextPrevChild(event->reason() == Qt::TabFocusReason);
    }
}

} // namespace morvane
