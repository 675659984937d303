// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings_dialog/fitted_picture.h"

#include <QPainter>

namespace morvane {

namespace {

// How small a picture may become: a third of its size still tells what it shows.
constexpr int smallest_share = 3;

} // namespace

FittedPicture::FittedPicture(QColor field, QSize room, QWidget* parent)
    : QWidget(parent), field_(field), room_(room) {
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
}

void FittedPicture::set_pixmap(const QPixmap& pixmap) {
    pixmap_ = pixmap;
    updateGeometry();
    update();
}

QSize FittedPicture::natural_size() const {
    return pixmap_.isNull() ? room_.expandedTo(QSize(0, 0))
                            : pixmap_.deviceIndependentSize().toSize();
}

QSize FittedPicture::sizeHint() const {
    return natural_size();
}

QSize FittedPicture::minimumSizeHint() const {
    return natural_size() / smallest_share;
}

QRect FittedPicture::picture_rect() const {
    const QSize size =
        natural_size().scaled(rect().size().boundedTo(natural_size()), Qt::KeepAspectRatio);
    return QRect(QPoint((width() - size.width()) / 2, (height() - size.height()) / 2), size);
}

void FittedPicture::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    if (field_.isValid()) {
        painter.fillRect(rect(), field_);
    }
    if (!pixmap_.isNull()) {
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawPixmap(picture_rect(), pixmap_);
    }
}

} // namespace morvane
