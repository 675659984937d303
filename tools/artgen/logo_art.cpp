// SPDX-License-Identifier: GPL-3.0-or-later
// Painting of the icon, the About picture and the band mark.
#include "logo_art.h"

#include "art_painting.h"

#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

namespace morvane::artgen {

namespace {

const QColor kInkTop{0x35, 0x4f, 0x69};
const QColor kInkBottom{0x1b, 0x27, 0x33};
const QColor kOrangeTop{0xf7, 0xa1, 0x3e};
const QColor kOrangeBottom{0xe0, 0x68, 0x17};

} // namespace

void LogoArt::paintDisc(QPainter& painter, const QRectF& box) const {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(verticalGradient(box, kOrangeTop, kOrangeBottom));
    painter.drawEllipse(box);
    drawPlayTriangle(painter, box.center(), box.height() * 0.46, Qt::white);
    painter.restore();
}

void LogoArt::paintIcon(QPainter& painter, const QRectF& box) const {
    const qreal s = box.width();
    const auto at = [&](qreal x, qreal y) { return QPointF(box.x() + x * s, box.y() + y * s); };
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);

    // The tile.
    const QRectF tile = box.adjusted(s * 0.04, s * 0.04, -s * 0.04, -s * 0.04);
    painter.setBrush(verticalGradient(tile, kInkTop, kInkBottom));
    painter.drawRoundedRect(tile, s * 0.2, s * 0.2);

    // The player: a light body with a glowing screen.
    const QRectF body(at(0.47, 0.17), at(0.81, 0.83));
    painter.setBrush(verticalGradient(body, QColor(0xf4, 0xf7, 0xfa), QColor(0xc9, 0xd3, 0xdd)));
    painter.drawRoundedRect(body, s * 0.06, s * 0.06);
    const QRectF screen(at(0.51, 0.23), at(0.77, 0.66));
    painter.setBrush(verticalGradient(screen, QColor(0x5f, 0xc6, 0xe8), QColor(0x2a, 0x7f, 0xb8)));
    painter.drawRoundedRect(screen, s * 0.02, s * 0.02);
    painter.setBrush(QColor(0x9a, 0xa8, 0xb6));
    painter.drawEllipse(at(0.64, 0.745), s * 0.035, s * 0.035);

    // The disc, ringed in the tile's colour so it stands in front of the player.
    const QPointF centre = at(0.36, 0.56);
    const qreal radius = s * 0.25;
    painter.setBrush(kInkBottom);
    painter.drawEllipse(centre, radius + s * 0.035, radius + s * 0.035);
    paintDisc(painter, QRectF(centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius));

    painter.restore();
}

QImage LogoArt::icon(int size) const {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    paintIcon(painter, QRectF(0, 0, size, size));
    return image;
}

QImage LogoArt::aboutPicture() const {
    constexpr int kSize = 180;
    QImage image(kSize, kSize, QImage::Format_RGB32);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QRadialGradient glow(QPointF(kSize / 2.0, kSize / 2.0), kSize * 0.7);
    glow.setColorAt(0, QColor(0xff, 0xff, 0xff));
    glow.setColorAt(1, QColor(0xdc, 0xe6, 0xef));
    painter.fillRect(image.rect(), glow);
    paintIcon(painter, QRectF(22, 22, kSize - 44, kSize - 44));
    return image;
}

} // namespace morvane::artgen
