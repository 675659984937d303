// SPDX-License-Identifier: GPL-3.0-or-later
// Says things to a screen reader that no focus change would: the end of a batch and how it
// went, progress at every tenth. Qt 6.4 has no announcement event, so this is an object of
// the notification role that shows itself with the words as its name: Orca speaks a
// notification when it appears. Sighted users see nothing of it.
#pragma once

#include <QString>
#include <QWidget>

namespace morvane {

class Announcer : public QWidget {
    Q_OBJECT

public:
    explicit Announcer(QWidget* parent = nullptr);

    void announce(const QString& words);
    const QString& last_words() const { return words_; }

protected:
    void paintEvent(QPaintEvent* /*event*/) override {}

private:
    QString words_;
};

} // namespace morvane
