// SPDX-License-Identifier: GPL-3.0-or-later
// A picture that asks for its natural size and makes do with less: on a small screen (1280x800
// at twice the pixels is 640x400) the settings pages shrink their pictures before anything
// else, keeping their shape, never drawing them larger than they are.
#pragma once

#include <QColor>
#include <QPixmap>
#include <QWidget>

namespace morvane {

class FittedPicture : public QWidget {
    Q_OBJECT

public:
    // `field` fills the widget behind the picture (none when invalid); `room` is the size
    // asked for while there is no picture.
    explicit FittedPicture(QColor field = {}, QSize room = {}, QWidget* parent = nullptr);

    // A pixmap of device pixel ratio 2 stands at half its pixels.
    void set_pixmap(const QPixmap& pixmap);
    const QPixmap& pixmap() const { return pixmap_; }
    // Where the picture is drawn now.
    QRect picture_rect() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QSize natural_size() const;

    QColor field_;
    QSize room_;
    QPixmap pixmap_;
};

} // namespace morvane
