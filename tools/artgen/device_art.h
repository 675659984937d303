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
    QImage phone() const;
    QImage nano() const;
    QImage classic() const;
    QImage shuffle() const;
    QImage handheld() const;

private:
    static QImage blank();
    static void paintShadow(QPainter& painter, const QRectF& body);
    static void paintAppGrid(QPainter& painter, const QRectF& screen);
    static void paintMenuScreen(QPainter& painter, const QRectF& screen, qreal row_height);
    static void paintClickWheel(QPainter& painter, const QPointF& centre, qreal radius,
                                const QColor& face);
};

} // namespace morvane::artgen
