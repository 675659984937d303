// The off-screen buffer of a skinned paint.
#include "platform/offscreen_paint.h"

#include "platform/raster_ops.h"

#include <QWidget>

namespace morvane {

OffscreenPaint::OffscreenPaint(QWidget* widget, const QRect& area, const QColor& fill)
    : m_widget(widget), m_area(area.intersected(widget->rect())) {
    // Nothing outside the top-level window can be seen: a widget placed far larger than its
    // window must not make the buffer that large.
    const QWidget* window = widget->window();
    m_area &= QRect(widget->mapFrom(window, QPoint(0, 0)), window->size());
    if (m_area.isEmpty()) {
        return;
    }
    m_buffer = QImage(m_area.size(), QImage::Format_RGB32);
    if (m_buffer.isNull()) {
        return;
    }
    m_buffer.fill(fill);
    m_painter.begin(&m_buffer);
    m_painter.translate(-m_area.topLeft());
}

OffscreenPaint::~OffscreenPaint() {
    if (!m_painter.isActive()) {
        return;
    }
    m_painter.end();
    QPainter onscreen(m_widget);
    BlockCopy(onscreen, m_area.x(), m_area.y(), m_area.width(), m_area.height(), m_buffer, 0, 0,
              RasterOp::SRCCOPY);
}

} // namespace morvane
