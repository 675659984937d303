// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings_dialog/current_item_focus.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QEvent>
#include <QTimer>

namespace morvane {

CurrentItemFocus::CurrentItemFocus(QAbstractItemView* view) : QObject(view), view_(view) {
    view->installEventFilter(this);
}

bool CurrentItemFocus::eventFilter(QObject* watched, QEvent* event) {
    if (watched == view_ && event->type() == QEvent::FocusIn && QAccessible::isActive()) {
        // Queued: Qt reports the view's own focus after its focus-in event.
        QTimer::singleShot(0, this, &CurrentItemFocus::report_current_item);
    }
    return QObject::eventFilter(watched, event);
}

void CurrentItemFocus::report_current_item() {
    const QModelIndex current = view_->currentIndex();
    QAccessibleInterface* view = QAccessible::queryAccessibleInterface(view_);
    if (!view_->hasFocus() || !current.isValid() || view == nullptr ||
        view->tableInterface() == nullptr) {
        return;
    }
    QAccessibleInterface* cell = view->tableInterface()->cellAt(current.row(), current.column());
    if (cell == nullptr) {
        return;
    }
    QAccessibleEvent focus(view_, QAccessible::Focus);
    focus.setChild(view->indexOfChild(cell));
    QAccessible::updateAccessibility(&focus);
}

} // namespace morvane
