// Painting of the image control.
#include "skin/img_ctrl.h"

#include <QPainter>

namespace morvane {

CImgCtrl::CImgCtrl(QWidget* parent) : QWidget(parent) {}

bool CImgCtrl::LoadPicture(const std::string& path) {
    if (m_image.IsValid()) {
        m_image.DestroyFrames();
        m_image.Destroy();
    }
    const bool loaded = m_image.Load(path);
    update();
    return loaded;
}

void CImgCtrl::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    if (!m_image.IsValid()) {
        return;
    }
    // Integer division rounds toward zero, also for a picture wider than the control.
    const int x = (width() - static_cast<int>(m_image.GetWidth())) / 2;
    const int y = (height() - static_cast<int>(m_image.GetHeight())) / 2;
    m_image.Blt(painter, x, y);
}

} // namespace morvane
