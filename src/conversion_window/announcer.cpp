// SPDX-License-Identifier: GPL-3.0-or-later
#include "conversion_window/announcer.h"

#include <QAccessible>
#include <QAccessibleWidget>

namespace morvane {

namespace {

// The notification role, with the words as its name: Orca speaks a notification as it shows,
// but leaves an alert that shows in a Qt program unsaid.
class AnnouncerAccessible : public QAccessibleWidget {
public:
    explicit AnnouncerAccessible(Announcer* announcer)
        : QAccessibleWidget(announcer, QAccessible::Notification) {}
    QString text(QAccessible::Text kind) const override {
        if (kind == QAccessible::Name) {
            return static_cast<const Announcer*>(object())->last_words();
        }
        return QAccessibleWidget::text(kind);
    }
};

QAccessibleInterface* announcer_accessible(const QString& class_name, QObject* object) {
    if (class_name == QLatin1String("morvane::Announcer")) {
        return new AnnouncerAccessible(static_cast<Announcer*>(object));
    }
    return nullptr;
}

} // namespace

Announcer::Announcer(QWidget* parent) : QWidget(parent) {
    // Qt keeps its factories in a list of its own; adding the same one twice is harmless.
    QAccessible::removeFactory(announcer_accessible);
    QAccessible::installFactory(announcer_accessible);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
    resize(1, 1);
    hide();
}

void Announcer::announce(const QString& words) {
    words_ = words;
    // Hidden and shown again: a screen reader hears of a notification as it appears.
    hide();
    show();
    QAccessibleEvent changed(this, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&changed);
}

} // namespace morvane
