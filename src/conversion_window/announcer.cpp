// SPDX-License-Identifier: GPL-3.0-or-later
#include "conversion_window/announcer.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QElapsedTimer>
#include <vector>

namespace morvane {

namespace {

// How long an announcement stays for a reader that comes to it late, and how many at most.
constexpr qint64 kept_for_ms = 30000;
constexpr int kept_at_most = 8;

// One announcement: its words are its name, fixed before it is shown.
class Announcement : public QWidget {
public:
    Announcement(const QString& words, QWidget* parent) : QWidget(parent), words_(words) {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setFocusPolicy(Qt::NoFocus);
        resize(1, 1);
        clock_.start();
    }
    const QString& words() const { return words_; }
    qint64 age_ms() const { return clock_.elapsed(); }

protected:
    void paintEvent(QPaintEvent* /*event*/) override {}

private:
    const QString words_;
    QElapsedTimer clock_;
};

// The notification role, with the words as its name: Orca speaks a notification as it shows,
// and leaves an alert in a Qt program unsaid.
class AnnouncementAccessible : public QAccessibleWidget {
public:
    explicit AnnouncementAccessible(Announcement* announcement)
        : QAccessibleWidget(announcement, QAccessible::Notification) {}
    QString text(QAccessible::Text kind) const override {
        if (kind == QAccessible::Name) {
            return static_cast<const Announcement*>(object())->words();
        }
        return QAccessibleWidget::text(kind);
    }
};

QAccessibleInterface* announcement_accessible(const QString& class_name, QObject* object) {
    // The class has no meta-object of its own: Qt names it a QWidget.
    if (class_name != QLatin1String("QWidget")) {
        return nullptr;
    }
    if (auto* announcement = dynamic_cast<Announcement*>(object)) {
        return new AnnouncementAccessible(announcement);
    }
    return nullptr;
}

} // namespace

Announcer::Announcer(QWidget* parent) : QWidget(parent) {
    // Qt keeps its factories in a list of its own; adding the same one twice is harmless.
    QAccessible::removeFactory(announcement_accessible);
    QAccessible::installFactory(announcement_accessible);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
    resize(1, 1);
}

void Announcer::announce(const QString& words) {
    forget(false);
    last_words_ = words;
    auto* announcement = new Announcement(words, this);
    announcement->show();
    emit announced(words);
}

void Announcer::hideEvent(QHideEvent* event) {
    forget(true);
    QWidget::hideEvent(event);
}

void Announcer::forget(bool all) {
    std::vector<Announcement*> kept;
    for (QObject* child : children()) {
        if (auto* announcement = dynamic_cast<Announcement*>(child)) {
            kept.push_back(announcement); // oldest first
        }
    }
    for (std::size_t index = 0; index < kept.size(); ++index) {
        // Room for the one about to come.
        const bool too_many = kept.size() - index >= kept_at_most;
        if (all || too_many || kept[index]->age_ms() > kept_for_ms) {
            delete kept[index];
        }
    }
}

} // namespace morvane
