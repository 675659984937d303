// Double-buffered painting for skinned widgets: the widget composes its whole look into a
// memory image, which reaches the widget in one block copy when the object goes away.
// Construct it inside paintEvent only.
#pragma once

#include <QColor>
#include <QImage>
#include <QPainter>
#include <QRect>

class QWidget;

namespace morvane {

class OffscreenPaint {
public:
    // area is the part of the widget to repaint (the paint event's rectangle); the buffer
    // covers it, starts filled with fill, and painter() takes widget coordinates.
    OffscreenPaint(QWidget* widget, const QRect& area, const QColor& fill);
    ~OffscreenPaint();
    OffscreenPaint(const OffscreenPaint&) = delete;
    OffscreenPaint& operator=(const OffscreenPaint&) = delete;

    // False when there is nothing to paint (empty area, or no memory for the buffer).
    bool isReady() const { return m_painter.isActive(); }
    QPainter& painter() { return m_painter; }

private:
    QWidget* m_widget;
    QRect m_area;
    QImage m_buffer;
    QPainter m_painter;
};

} // namespace morvane
