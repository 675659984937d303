// SPDX-License-Identifier: GPL-3.0-or-later
// The five device pictures: a phone with a big screen, a slim player with a small screen
// and a click wheel, a player with its screen above a big click wheel, a tiny clip with a
// control ring, and a wide handheld console. Each is centred on a white picture of
// kDevicePicture's size.
#pragma once

#include <QImage>

class QPainter;
class QRectF;

namespace morvane::artgen {

class DeviceArt {
public:
    // scale 2 draws the @2x pictures, for screens of device pixel ratio 2.
    explicit DeviceArt(int scale = 1) : scale_(scale) {}

    QImage phone() const;
    QImage nano() const;
    QImage classic() const;
    QImage shuffle() const;
    QImage handheld() const;

private:
    // A white picture of kDevicePicture's size at this scale.
    QImage blank() const;
    // A painter on image that draws in 1x coordinates.
    void begin(QPainter& painter, QImage& image) const;
    static void paintShadow(QPainter& painter, const QRectF& body);
    static void paintAppGrid(QPainter& painter, const QRectF& screen);
    static void paintMenuScreen(QPainter& painter, const QRectF& screen, qreal row_height);
    static void paintClickWheel(QPainter& painter, const QPointF& centre, qreal radius,
                                const QColor& face);

    int scale_;
};

} // namespace morvane::artgen
