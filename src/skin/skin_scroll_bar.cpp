// Layout and painting of the skinned scrollbar.
#include "skin/skin_scroll_bar.h"

#include <QPainter>
#include <algorithm>

namespace morvane {

SkinScrollBar::SkinScrollBar(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_NoMousePropagation);
}

bool SkinScrollBar::loadImages(const std::string& bar_path, const std::string& buttons_path) {
    const bool bar_loaded = bar_.load(bar_path);
    const bool buttons_loaded = buttons_.load(buttons_path);
    update();
    return bar_loaded && buttons_loaded;
}

QRect SkinScrollBar::upRect() const {
    return {0, 0, width(), arrowHeight()};
}

QRect SkinScrollBar::downRect() const {
    return {0, height() - arrowHeight(), width(), arrowHeight()};
}

QRect SkinScrollBar::trackRect() const {
    // Empty when the arrows overlap.
    return {0, arrowHeight(), width(), std::max(0, height() - 2 * arrowHeight())};
}

void SkinScrollBar::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    // Where a picture is missing the plain window colour shows.
    painter.fillRect(rect(), palette().window());
    const qreal ratio = devicePixelRatioF();
    if (!buttons_.isNull()) {
        const QPixmap& arrows = buttons_.forRatio(ratio);
        const qreal art = arrows.devicePixelRatio();
        // Unscaled: a bar wider than the arrows shows the window colour beside them.
        const int arrow_width = std::min(width(), buttons_.size().width());
        const QRect up(upRect().topLeft(), QSize(arrow_width, arrowHeight()));
        const QRect down(downRect().topLeft(), QSize(arrow_width, arrowHeight()));
        painter.drawPixmap(up, arrows, QRectF(0, 0, arrow_width * art, arrowHeight() * art));
        painter.drawPixmap(down, arrows,
                           QRectF(0, arrowHeight() * art, arrow_width * art, arrowHeight() * art));
    }
    if (!bar_.isNull()) {
        painter.drawTiledPixmap(trackRect(), bar_.forRatio(ratio));
    }
}

} // namespace morvane
