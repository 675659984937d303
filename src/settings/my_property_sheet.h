// The settings dialog: a modal sheet of pages with a list of page titles on its left in place
// of tabs, a fading header band with the current page's title above the page, grey frames
// around the list and the page, and OK and Cancel. Only a click on a title switches pages.
//
// The pages belong to the caller and are lent to the sheet for one run: the sheet places
// them, opens each the first time it is shown, applies the opened ones when OK closes it,
// and hands them all back, unparented and hidden, when it is destroyed.
#pragma once

#include "settings/sheet_page.h"

#include <QColor>
#include <QDialog>
#include <QFont>
#include <QList>
#include <QPointer>
#include <QRect>

class QListWidget;
class QModelIndex;
class QPushButton;

namespace morvane {

class CMyPropertySheet : public QDialog {
    Q_OBJECT

public:
    static constexpr int nav_list_id = 65535;
    static constexpr int ok_id = 1;
    static constexpr int cancel_id = 2;
    // The header band shows at most this many UTF-16 units of a page title.
    static constexpr int caption_limit = 127;

    explicit CMyPropertySheet(QWidget* parent = nullptr);
    ~CMyPropertySheet() override;

    // Pages appear in the order they are added; add them all before the sheet is shown.
    void AddPage(SheetPage* page);

    int page_count() const { return static_cast<int>(pages_.size()); }
    SheetPage* page(int index) const;
    // The page on show, -1 before the sheet is shown.
    int active_page() const { return active_page_; }
    int selected_page() const { return selected_page_; }
    // Where every page is placed, in the sheet's coordinates; set when the sheet is shown.
    QRect page_rect() const { return page_rect_; }
    QString caption_text() const { return caption_text_; }
    QListWidget* nav_list() const { return nav_list_; }

    // The sheet's own colours.
    static QColor selection_colour() { return QColor(0, 132, 255); }
    static QColor separator_colour() { return QColor(0, 132, 255); }
    static QColor header_colour() { return QColor(92, 132, 255); }
    static QColor frame_colour() { return QColor(141, 141, 141); }

    void setVisible(bool visible) override;
    // OK applies every page that was opened, then any ending hands the pages back closed.
    void done(int result) override;

protected:
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void OnInitDialog();
    void lay_out();
    void fill_nav_list();
    void on_nav_click(const QModelIndex& index);
    void SetActivePage(int index);
    void set_caption(const QString& caption);
    void draw_header_band(QPainter& painter) const;

    QList<QPointer<SheetPage>> pages_;
    QListWidget* nav_list_;
    int selected_page_ = 0;
    QFont item_font_;
    QFont title_font_;
    QFont nav_font_;
    QString caption_text_;
    QRect page_rect_;
    QPushButton* ok_button_;
    QPushButton* cancel_button_;
    int active_page_ = -1;
    bool initialised_ = false;
};

} // namespace morvane
