// Layout and painting of the skinned scrollbar.
#include "skin/scrollbar_ex.h"

#include "platform/offscreen_paint.h"
#include "platform/raster_ops.h"
#include "skin/control_id.h"
#include "skin/skin_drawing.h"

#include <QPaintEvent>

namespace morvane {

CScrollbarEx::CScrollbarEx(int id, QWidget* parent) : QWidget(parent) {
    SetControlId(this, id);
    setAttribute(Qt::WA_NoMousePropagation);
}

bool CScrollbarEx::LoadImages(const std::string& bar_path, const std::string& buttons_path) {
    const bool bar_loaded = m_imgBar.Load(bar_path);
    const bool buttons_loaded = m_imgButtons.Load(buttons_path);
    m_nButtonHeight = static_cast<int>(m_imgButtons.GetHeight() / 2);

    // Parts as (left, top, right, bottom) with exclusive right and bottom edges; the track
    // is empty when the arrows overlap.
    const int left = 0;
    const int top = 0;
    const int right = width();
    const int bottom = height();
    const auto part = [](int l, int t, int r, int b) { return QRect(l, t, r - l, b - t); };
    m_rcUp = part(left, top, right, top + m_nButtonHeight);
    m_rcDown = part(left, bottom - m_nButtonHeight, right, bottom);
    m_rcTrack = part(left, top + m_nButtonHeight, right, bottom - m_nButtonHeight);
    update();
    return bar_loaded && buttons_loaded;
}

void CScrollbarEx::paintEvent(QPaintEvent* event) {
    // Where the arrows image is missing the arrows show the plain window colour.
    OffscreenPaint offscreen(this, event->rect(), palette().window().color());
    if (!offscreen.isReady()) {
        return;
    }
    QPainter& painter = offscreen.painter();
    const QImage& buttons = m_imgButtons.MakeBitmap();
    BlockCopy(painter, m_rcUp.x(), m_rcUp.y(), m_rcUp.width(), m_rcUp.height(), buttons, 0, 0,
              RasterOp::SRCCOPY);
    BlockCopy(painter, m_rcDown.x(), m_rcDown.y(), m_rcDown.width(), m_rcDown.height(), buttons, 0,
              m_nButtonHeight, RasterOp::SRCCOPY);
    const QImage& bar = m_imgBar.MakeBitmap();
    TileBlt(painter, m_rcTrack, bar, bar.rect());
}

} // namespace morvane
