// SPDX-License-Identifier: GPL-3.0-or-later
// Painting of the header band. Painted straight onto the widget, so that Qt renders the
// gradient and the title at the screen's device pixel ratio.
#include "settings_dialog/header_band.h"

#include <QEvent>
#include <QLinearGradient>
#include <QPainter>
#include <algorithm>

namespace morvane {

namespace {

// The title stands this far from the band's left edge, as a fraction of its line height.
constexpr double indent_lines = 1.0;

} // namespace

HeaderBand::HeaderBand(QWidget* parent) : QWidget(parent) {
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void HeaderBand::set_title(const QString& title) {
    title_ = title;
    setAccessibleName(title);
    update();
}

// The desktop's font, bold and a quarter larger: a heading, not a face of its own.
QFont HeaderBand::title_font() const {
    QFont font = this->font();
    font.setBold(true);
    if (font.pointSizeF() > 0) {
        font.setPointSizeF(font.pointSizeF() * 1.25);
    } else {
        font.setPixelSize(font.pixelSize() * 5 / 4);
    }
    return font;
}

QSize HeaderBand::sizeHint() const {
    const QFontMetrics metrics(title_font());
    return {metrics.horizontalAdvance(title_) + 2 * metrics.height(), metrics.height() * 3 / 2};
}

QSize HeaderBand::minimumSizeHint() const {
    return {0, sizeHint().height()};
}

void HeaderBand::changeEvent(QEvent* event) {
    if (event->type() == QEvent::FontChange) {
        updateGeometry();
    }
    QWidget::changeEvent(event);
}

void HeaderBand::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    const QFont font = title_font();
    const QFontMetrics metrics(font);
    const int indent = static_cast<int>(metrics.height() * indent_lines);
    const QRect text_area = rect().adjusted(indent, 0, -indent / 2, 0);
    const QString shown = metrics.elidedText(title_, Qt::ElideRight, text_area.width());

    // The fade starts only after the title, so every letter stands on the dark colour.
    const int title_end = text_area.left() + metrics.horizontalAdvance(shown) + indent / 2;
    const qreal solid = width() > 0 ? std::min(1.0, qreal(title_end) / width()) : 1.0;
    QLinearGradient fade(rect().topLeft(), rect().topRight());
    fade.setColorAt(0, title_background());
    fade.setColorAt(solid, title_background());
    fade.setColorAt(1, palette().color(QPalette::Window));
    painter.fillRect(rect(), fade);

    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(text_area, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, shown);
}

} // namespace morvane
