// SPDX-License-Identifier: GPL-3.0-or-later
// Cut-outs and glyphs of the generated artwork.
#include "art_painting.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QTransform>
#include <cmath>

namespace morvane::artgen {

QImage cutOut(const QImage& frame, const QPainterPath& outline) {
    QImage coverage(frame.size(), QImage::Format_ARGB32);
    coverage.fill(Qt::transparent);
    {
        QPainter painter(&coverage);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.fillPath(outline, Qt::black);
    }
    QImage result = frame.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < result.height(); ++y) {
        for (int x = 0; x < result.width(); ++x) {
            if (qAlpha(coverage.pixel(x, y)) == 0) {
                result.setPixel(x, y, kKeyColour.rgb());
            }
        }
    }
    return result;
}

QBrush verticalGradient(const QRectF& rect, const QColor& top, const QColor& bottom) {
    QLinearGradient gradient(rect.topLeft(), rect.bottomLeft());
    gradient.setColorAt(0, top);
    gradient.setColorAt(1, bottom);
    return QBrush(gradient);
}

void drawPlayTriangle(QPainter& painter, const QPointF& centre, qreal size, const QColor& colour) {
    // Shifted right a little: a triangle's visual centre lies left of its box's centre.
    const qreal half = size / 2;
    const qreal shift = size * 0.08;
    QPainterPath triangle;
    triangle.moveTo(centre.x() - half * 0.8 + shift, centre.y() - half);
    triangle.lineTo(centre.x() + half * 0.9 + shift, centre.y());
    triangle.lineTo(centre.x() - half * 0.8 + shift, centre.y() + half);
    triangle.closeSubpath();
    painter.fillPath(triangle, colour);
}

void drawGear(QPainter& painter, const QPointF& centre, qreal size, const QColor& colour,
              const QColor& hole) {
    const qreal outer = size / 2;
    const qreal body = outer * 0.72;
    QPainterPath gear;
    gear.addEllipse(centre, body, body);
    constexpr int kTeeth = 8;
    for (int i = 0; i < kTeeth; ++i) {
        QPainterPath tooth;
        tooth.addRect(QRectF(-outer * 0.2, -outer, outer * 0.4, outer * 0.5));
        QTransform turn;
        turn.translate(centre.x(), centre.y());
        turn.rotate(360.0 * i / kTeeth);
        gear = gear.united(turn.map(tooth));
    }
    painter.fillPath(gear, colour);
    painter.setBrush(hole);
    painter.setPen(Qt::NoPen);
    painter.drawEllipse(centre, outer * 0.3, outer * 0.3);
}

void drawMenuLabel(QPainter& painter, const QPointF& centre, qreal size, const QColor& colour) {
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setBold(true);
    font.setPixelSize(std::max(5, static_cast<int>(std::lround(size))));
    font.setLetterSpacing(QFont::PercentageSpacing, 105);
    painter.setFont(font);
    painter.setPen(colour);
    const QRectF box(centre.x() - size * 4, centre.y() - size, size * 8, size * 2);
    painter.drawText(box, Qt::AlignCenter, QStringLiteral("MENU"));
}

void drawSkip(QPainter& painter, const QPointF& centre, qreal size, bool forward,
              const QColor& colour) {
    const qreal half = size / 2;
    const qreal step = size * 0.55;
    const qreal direction = forward ? 1 : -1;
    QPainterPath marks;
    for (int i = 0; i < 2; ++i) {
        const qreal tail = centre.x() - direction * (step * 1.05) + direction * i * step;
        marks.moveTo(tail, centre.y() - half);
        marks.lineTo(tail + direction * step, centre.y());
        marks.lineTo(tail, centre.y() + half);
        marks.closeSubpath();
    }
    const qreal bar_x = centre.x() + direction * (step * 0.95);
    marks.addRect(
        QRectF(forward ? bar_x : bar_x - size * 0.16, centre.y() - half, size * 0.16, size));
    painter.fillPath(marks, colour);
}

void drawPlayPause(QPainter& painter, const QPointF& centre, qreal size, const QColor& colour) {
    const qreal half = size / 2;
    QPainterPath marks;
    const qreal left = centre.x() - size * 0.85;
    marks.moveTo(left, centre.y() - half);
    marks.lineTo(left + size * 0.8, centre.y());
    marks.lineTo(left, centre.y() + half);
    marks.closeSubpath();
    marks.addRect(QRectF(centre.x() + size * 0.12, centre.y() - half, size * 0.22, size));
    marks.addRect(QRectF(centre.x() + size * 0.5, centre.y() - half, size * 0.22, size));
    painter.fillPath(marks, colour);
}

} // namespace morvane::artgen
