// SPDX-License-Identifier: GPL-3.0-or-later
// Drawing helpers shared by the artwork: shapes that are cut out with the skin's magenta
// key colour, and small vector glyphs.
#pragma once

#include <QColor>
#include <QImage>
#include <QPainterPath>
#include <QRectF>

class QPainter;

namespace morvane::artgen {

inline const QColor kKeyColour{255, 0, 255};

// A picture of an irregular control for the skin: backdrop is what lies under the control
// in the window, frame is the control painted over it, outline its silhouette. Pixels the
// outline does not touch at all become magenta; the others keep their blend with the
// backdrop, so the anti-aliased edge matches where the control will sit.
QImage cutOut(const QImage& frame, const QPainterPath& outline);

// A vertical two-stop gradient brush over rect.
QBrush verticalGradient(const QRectF& rect, const QColor& top, const QColor& bottom);

// Glyphs centred on centre, size being the glyph's height.
void drawPlayTriangle(QPainter& painter, const QPointF& centre, qreal size, const QColor& colour);
void drawGear(QPainter& painter, const QPointF& centre, qreal size, const QColor& colour,
              const QColor& hole);
// The four media marks of a click wheel or ring.
void drawMenuLabel(QPainter& painter, const QPointF& centre, qreal size, const QColor& colour);
void drawSkip(QPainter& painter, const QPointF& centre, qreal size, bool forward,
              const QColor& colour);
void drawPlayPause(QPainter& painter, const QPointF& centre, qreal size, const QColor& colour);

} // namespace morvane::artgen
