// SPDX-License-Identifier: GPL-3.0-or-later
// The band above the settings page: the page's title in white on a dark blue that holds
// under the whole title (4.5:1 and more), then fades into the dialog's own colour.
#pragma once

#include <QColor>
#include <QString>
#include <QWidget>

namespace morvane {

class HeaderBand : public QWidget {
    Q_OBJECT

public:
    explicit HeaderBand(QWidget* parent = nullptr);

    void set_title(const QString& title);
    QString title() const { return title_; }

    // The colour under the title: white on it measures 6.8:1.
    static QColor title_background() { return QColor(40, 80, 200); }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    QFont title_font() const;

    QString title_;
};

} // namespace morvane
