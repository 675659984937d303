// SPDX-License-Identifier: GPL-3.0-or-later
// Layout and painting of the skinned scrollbar.
#include "skin/skin_scroll_bar.h"

#include <QPainter>
#include <algorithm>

namespace morvane {

SkinScrollBar::SkinScrollBar(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_NoMousePropagation);
}

bool SkinScrollBar::load_images(const std::string& bar_path, const std::string& buttons_path) {
    const bool bar_loaded = bar_.load(bar_path);
    const bool buttons_loaded = buttons_.load(buttons_path);
    update();
    return bar_loaded && buttons_loaded;
}

QRect SkinScrollBar::up_rect() const {
    return {0, 0, width(), arrow_height()};
}

QRect SkinScrollBar::down_rect() const {
    return {0, height() - arrow_height(), width(), arrow_height()};
}

QRect SkinScrollBar::track_rect() const {
    // Empty when the arrows overlap.
    return {0, arrow_height(), width(), std::max(0, height() - 2 * arrow_height())};
}

void SkinScrollBar::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    // Where a picture is missing the plain window colour shows.
    painter.fillRect(rect(), palette().window());
    const qreal ratio = devicePixelRatioF();
    if (!buttons_.isNull()) {
        const QPixmap& arrows = buttons_.for_ratio(ratio);
        const qreal art = arrows.devicePixelRatio();
        // Unscaled: a bar wider than the arrows shows the window colour beside them.
        const int arrow_width = std::min(width(), buttons_.size().width());
        const QRect up(up_rect().topLeft(), QSize(arrow_width, arrow_height()));
        const QRect down(down_rect().topLeft(), QSize(arrow_width, arrow_height()));
        painter.drawPixmap(up, arrows, QRectF(0, 0, arrow_width * art, arrow_height() * art));
        painter.drawPixmap(
            down, arrows, QRectF(0, arrow_height() * art, arrow_width * art, arrow_height() * art));
    }
    if (!bar_.isNull()) {
        painter.drawTiledPixmap(track_rect(), bar_.for_ratio(ratio));
    }
}

} // namespace morvane
