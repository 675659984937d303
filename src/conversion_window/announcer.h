// SPDX-License-Identifier: GPL-3.0-or-later
// Says to a screen reader what no focus change shows: a batch's progress, its end, a stop, a
// player that comes or goes. Qt 6.4 has no announcement event, and Orca speaks an object of
// the notification role as it appears; so each announcement is a new notification, named
// before it is shown and never renamed, hidden or shown again: a reader that comes to it late
// still reads what it said, never a newer text. The callers keep the pace (see ProgressPace).
//
// The announcer itself is an unseen region of the window that holds the latest announcements
// a while, so that a busy reader finds them; they go when the window hides (changing its
// stay-on-top flag hides and shows it), or a window shown again would say them all again.
#pragma once

#include <QString>
#include <QWidget>

namespace morvane {

class Announcer : public QWidget {
    Q_OBJECT

public:
    explicit Announcer(QWidget* parent = nullptr);

    void announce(const QString& words);
    // What was said last.
    const QString& last_words() const { return last_words_; }

signals:
    void announced(const QString& words);

protected:
    void paintEvent(QPaintEvent* /*event*/) override {}
    void hideEvent(QHideEvent* event) override; // the window hides: all is forgotten

private:
    void forget(bool all);

    QString last_words_;
};

} // namespace morvane
