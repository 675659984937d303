// The drawing of the settings sheet's navigation rows: a white row, or a filled one while
// the row is selected and the list has the keyboard focus, the page title in the small item
// font centred in the tall row, and a two-pixel fading line at its foot.
#pragma once

#include <QColor>
#include <QFont>
#include <QStyledItemDelegate>

namespace morvane {

class NavListDelegate : public QStyledItemDelegate {
    Q_OBJECT

public:
    // Rows are as tall as a line of the list's own font; their text is drawn in item_font.
    NavListDelegate(const QFont& item_font, const QColor& selection_colour,
                    const QColor& separator_colour, QObject* parent);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

    // Room kept left of the text for a 16-pixel page icon, as the rows were laid out with one.
    static constexpr int icon_width = 16;
    // Both side margins of the filled part of a row, and the extra top margin of row 0.
    static constexpr int row_margin = 3;

private:
    QFont item_font_;
    QColor selection_colour_;
    QColor separator_colour_;
};

} // namespace morvane
