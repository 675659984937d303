// SPDX-License-Identifier: GPL-3.0-or-later
// The band above the settings page: the page's title in white with a dark shadow, on a
// colour that fades to white towards the right.
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

    // The colour at the band's left edge.
    static QColor start_colour() { return QColor(92, 132, 255); }

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
