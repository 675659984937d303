// Painting of one navigation row.
#include "settings/nav_list_delegate.h"

#include "settings/sheet_gradient.h"

#include <QFontInfo>
#include <QFontMetrics>
#include <QPainter>

namespace morvane {

NavListDelegate::NavListDelegate(const QFont& item_font, const QColor& selection_colour,
                                 const QColor& separator_colour, QObject* parent)
    : QStyledItemDelegate(parent), item_font_(item_font), selection_colour_(selection_colour),
      separator_colour_(separator_colour) {}

QSize NavListDelegate::sizeHint(const QStyleOptionViewItem& option,
                                const QModelIndex& /*index*/) const {
    return QSize(option.rect.width(), QFontMetrics(option.font).height());
}

void NavListDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                            const QModelIndex& index) const {
    const QRect row = option.rect;
    QRect drawn = row.adjusted(row_margin, 0, -row_margin, 0);
    if (index.row() == 0) {
        drawn.setTop(drawn.top() + row_margin);
    }
    if (drawn.width() <= 0 || drawn.height() <= 0) {
        return;
    }
    painter->save();
    // Selection alone is not enough: the highlight shows only while the list has the focus.
    const bool highlighted = option.state.testFlag(QStyle::State_Selected) &&
                             option.state.testFlag(QStyle::State_HasFocus);
    painter->fillRect(drawn, highlighted ? selection_colour_ : QColor(Qt::white));

    painter->setFont(item_font_);
    painter->setPen(highlighted ? QColor(Qt::white) : QColor(Qt::black));
    const int text_x = drawn.left() + icon_width + 8;
    const int text_y = row.top() + (row.height() - QFontInfo(item_font_).pixelSize()) / 2;
    painter->drawText(QPoint(text_x, text_y + QFontMetrics(item_font_).ascent()),
                      index.data(Qt::DisplayRole).toString());

    // The fading line covers the last two pixel rows; its first column stays white.
    const int width = drawn.width();
    for (int k = 0; k < width; ++k) {
        const QColor colour =
            k == 0 ? QColor(Qt::white) : fade_towards_white(separator_colour_, k, width);
        painter->fillRect(drawn.left() + k, drawn.bottom() - 1, 1, 2, colour);
    }
    painter->restore();
}

} // namespace morvane
