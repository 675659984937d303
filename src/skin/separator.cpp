// Painting of the separator line and its label.
#include "skin/separator.h"

#include <QPainter>

namespace morvane {

namespace {

// A one-pixel frame, top and left in one colour, right and bottom (drawn last) in the
// other: two such lines side by side read as a groove.
void draw3dRect(QPainter& painter, int x, int y, int width, int height, const QColor& top_left,
                const QColor& bottom_right) {
    painter.fillRect(x, y, width - 1, 1, top_left);
    painter.fillRect(x, y, 1, height - 1, top_left);
    painter.fillRect(x + width - 1, y, 1, height, bottom_right);
    painter.fillRect(x, y + height - 1, width, 1, bottom_right);
}

} // namespace

CSeparator::CSeparator(const QString& text, QWidget* parent) : QLabel(text, parent) {}

void CSeparator::setNoPrefix(bool no_prefix) {
    m_noPrefix = no_prefix;
    update();
}

void CSeparator::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    const QColor shadow = palette().color(QPalette::Dark);
    const QColor highlight = palette().color(QPalette::Light);
    const int w = width();
    const int h = height();
    if (h > w) {
        draw3dRect(painter, w / 2, 0, 2, h, shadow, highlight);
        return;
    }
    draw3dRect(painter, 0, h / 2, w, 2, shadow, highlight);

    // The padding faces the line, so that the label stands clear of it.
    QString label = text();
    int flags = Qt::AlignTop | Qt::TextIncludeTrailingSpaces;
    if (alignment() & Qt::AlignHCenter) {
        label = QStringLiteral("  ") + label + QStringLiteral("  ");
        flags |= Qt::AlignHCenter;
    } else if (alignment() & Qt::AlignRight) {
        label = QStringLiteral("  ") + label;
        flags |= Qt::AlignRight;
    } else {
        label += QStringLiteral("  ");
        flags |= Qt::AlignLeft;
    }
    if (!m_noPrefix) {
        flags |= Qt::TextShowMnemonic;
    }
    painter.setFont(font());
    const QRect text_rect = painter.boundingRect(rect(), flags, label);
    painter.fillRect(text_rect, palette().color(QPalette::Button));
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(rect(), flags, label);
}

} // namespace morvane
