// Layout, navigation and painting of the settings sheet.
#include "settings/my_property_sheet.h"

#include "settings/dialog_units.h"
#include "settings/nav_list_delegate.h"
#include "settings/sheet_gradient.h"
#include "skin/control_id.h"

#include <QFontMetrics>
#include <QImage>
#include <QListWidget>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <algorithm>

namespace morvane {

namespace {

// Asked for by name; where the face is missing, fontconfig substitutes.
QFont sheet_font(const QString& family, int point_size) {
    QFont font(family);
    font.setPointSize(point_size);
    return font;
}

const QString kSongTi = QStringLiteral(u"宋体");

// How far the sheet grows to the right to make room for the list, and how much narrower
// than its template a page becomes.
constexpr int kListRoom = 150;
constexpr int kPageShrink = 20;
constexpr int kListLeft = 10;
constexpr int kListRight = 150;

// A page title may not split a surrogate pair at the limit.
QString cut_caption(const QString& caption, int limit) {
    if (caption.size() <= limit) {
        return caption;
    }
    int length = limit;
    if (caption.at(length - 1).isHighSurrogate()) {
        --length;
    }
    return caption.left(length);
}

} // namespace

CMyPropertySheet::CMyPropertySheet(QWidget* parent)
    : QDialog(parent), nav_list_(new QListWidget(this)), item_font_(sheet_font(kSongTi, 9)),
      title_font_(sheet_font(kSongTi, 11)), nav_font_(sheet_font(kSongTi, 24)),
      ok_button_(new QPushButton(QStringLiteral("OK"), this)),
      cancel_button_(new QPushButton(QStringLiteral("Cancel"), this)) {
    setWindowTitle(QStringLiteral("Setting Dialog"));
    setFont(sheet_font(QStringLiteral("MS Shell Dlg"), 8));
    setModal(true);

    SetControlId(ok_button_, ok_id);
    SetControlId(cancel_button_, cancel_id);
    ok_button_->setDefault(true);
    connect(ok_button_, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel_button_, &QPushButton::clicked, this, &QDialog::reject);

    SetControlId(nav_list_, nav_list_id);
    nav_list_->setFont(nav_font_); // the row height; the text is drawn in item_font_
    nav_list_->setItemDelegate(
        new NavListDelegate(item_font_, selection_colour(), separator_colour(), nav_list_));
    nav_list_->setFrameShape(QFrame::NoFrame);
    nav_list_->setSelectionMode(QAbstractItemView::SingleSelection);
    nav_list_->setUniformItemSizes(true);
    nav_list_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    nav_list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    QPalette palette = nav_list_->palette();
    palette.setColor(QPalette::Base, Qt::white);
    nav_list_->setPalette(palette);
    connect(nav_list_, &QListWidget::clicked, this, &CMyPropertySheet::on_nav_click);
    nav_list_->viewport()->installEventFilter(this);
}

CMyPropertySheet::~CMyPropertySheet() {
    // The pages outlive the sheet: they must not go with its children.
    for (const QPointer<SheetPage>& page : pages_) {
        if (page) {
            page->close_page();
            page->setParent(nullptr);
        }
    }
}

void CMyPropertySheet::AddPage(SheetPage* page) {
    if (page == nullptr || pages_.contains(page)) {
        return;
    }
    page->hide();
    page->setParent(this);
    pages_.append(page);
}

SheetPage* CMyPropertySheet::page(int index) const {
    return index >= 0 && index < pages_.size() ? pages_.at(index).data() : nullptr;
}

void CMyPropertySheet::setVisible(bool visible) {
    if (visible && !initialised_) {
        OnInitDialog();
    }
    QDialog::setVisible(visible);
}

void CMyPropertySheet::OnInitDialog() {
    initialised_ = true;
    lay_out();
    fill_nav_list();
    SheetPage* first = page(0);
    set_caption(first != nullptr ? first->caption() : QString());
    selected_page_ = 0;
    SetActivePage(0);
    nav_list_->setFocus(Qt::OtherFocusReason);
}

// Lays the sheet out as a tabbed sheet first (a tab strip over the largest page, OK and
// Cancel below at the right), then grows it to the right for the list and moves the page
// into the new room, so that the buttons stay where the tabbed layout put them.
void CMyPropertySheet::lay_out() {
    const DialogUnits units(font());
    const int margin_x = units.x(7);
    const int margin_y = units.y(7);

    QSize page_size(0, 0);
    for (const QPointer<SheetPage>& page : pages_) {
        if (page) {
            page_size = page_size.expandedTo(page->template_size());
        }
    }
    // The header band takes the place of the tab strip and must hold the title.
    const int tab_strip =
        std::max(units.line_height() + 10, QFontMetrics(title_font_).height() + 6);
    const QRect tabs(margin_x, margin_y, page_size.width() + 4, tab_strip + page_size.height() + 2);
    const QRect tabbed_page(tabs.left() + 2, tabs.top() + tab_strip, page_size.width(),
                            page_size.height());

    const QSize button(units.x(50), units.y(14));
    const int buttons_top = tabs.bottom() + 1 + margin_y;
    const int tabbed_width = tabs.right() + 1 + margin_x;
    const int height = buttons_top + button.height() + margin_y;
    cancel_button_->setGeometry(tabbed_width - margin_x - button.width(), buttons_top,
                                button.width(), button.height());
    ok_button_->setGeometry(cancel_button_->x() - units.x(4) - button.width(), buttons_top,
                            button.width(), button.height());

    const int right = tabbed_width + kListRoom;
    page_rect_ = QRect(right - tabbed_page.width(), tabbed_page.top(),
                       tabbed_page.width() - kPageShrink, tabbed_page.height());
    setFixedSize(right, height);
    for (const QPointer<SheetPage>& page : pages_) {
        if (page) {
            page->setGeometry(page_rect_);
        }
    }

    nav_list_->setGeometry(kListLeft, tabs.top(), kListRight - kListLeft,
                           page_rect_.bottom() + 1 - tabs.top());
}

// A click below the last title only takes the focus: the list would otherwise drop its
// selection and stop showing which page is on show.
bool CMyPropertySheet::eventFilter(QObject* watched, QEvent* event) {
    if (watched == nav_list_->viewport() && (event->type() == QEvent::MouseButtonPress ||
                                             event->type() == QEvent::MouseButtonDblClick ||
                                             event->type() == QEvent::MouseButtonRelease)) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (!nav_list_->indexAt(mouse->position().toPoint()).isValid()) {
            nav_list_->setFocus(Qt::MouseFocusReason);
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void CMyPropertySheet::fill_nav_list() {
    nav_list_->clear();
    for (const QPointer<SheetPage>& page : pages_) {
        nav_list_->addItem(page ? page->caption() : QString());
    }
    if (nav_list_->count() > 0) {
        nav_list_->setCurrentRow(0, QItemSelectionModel::ClearAndSelect);
    }
}

void CMyPropertySheet::on_nav_click(const QModelIndex& index) {
    const int row = index.row();
    // A page its owner has already destroyed cannot be shown.
    if (row < 0 || row >= nav_list_->count() || page(row) == nullptr) {
        return;
    }
    selected_page_ = row;
    set_caption(nav_list_->item(row)->text());
    SetActivePage(row);
    update();
    nav_list_->setFocus(Qt::MouseFocusReason);
}

void CMyPropertySheet::SetActivePage(int index) {
    SheetPage* next = page(index);
    if (next == nullptr) {
        return;
    }
    SheetPage* current = page(active_page_);
    if (current != nullptr && current != next) {
        current->hide();
    }
    active_page_ = index;
    next->open_page();
    next->setGeometry(page_rect_);
    next->show();
    next->update();
}

void CMyPropertySheet::set_caption(const QString& caption) {
    caption_text_ = cut_caption(caption, caption_limit);
}

void CMyPropertySheet::done(int result) {
    if (result == QDialog::Accepted) {
        for (const QPointer<SheetPage>& page : pages_) {
            if (page) {
                page->apply_page();
            }
        }
    }
    for (const QPointer<SheetPage>& page : pages_) {
        if (page) {
            page->close_page();
        }
    }
    active_page_ = -1;
    initialised_ = false;
    QDialog::done(result);
}

void CMyPropertySheet::paintEvent(QPaintEvent* /*event*/) {
    if (!initialised_) {
        return;
    }
    QPainter painter(this);
    const auto frame = [&](const QRect& inner) {
        const QRect outer = inner.adjusted(-1, -1, 1, 1);
        painter.fillRect(outer.left(), outer.top(), outer.width(), 1, frame_colour());
        painter.fillRect(outer.left(), outer.bottom(), outer.width(), 1, frame_colour());
        painter.fillRect(outer.left(), outer.top(), 1, outer.height(), frame_colour());
        painter.fillRect(outer.right(), outer.top(), 1, outer.height(), frame_colour());
    };
    frame(nav_list_->geometry());
    frame(page_rect_);
    draw_header_band(painter);
}

// Composed off screen and copied in one block, so the title never flickers over the fade.
void CMyPropertySheet::draw_header_band(QPainter& painter) const {
    const int list_top = nav_list_->geometry().top();
    const QRect band(page_rect_.left() - 1, list_top - 1, page_rect_.width() + 2,
                     page_rect_.top() - list_top + 1);
    if (band.width() <= 0 || band.height() <= 0) {
        return;
    }
    QImage buffer(band.size(), QImage::Format_RGB32);
    QPainter composer(&buffer);
    const int width = band.width();
    for (int k = 0; k < width; ++k) {
        const QColor colour =
            k == 0 ? header_colour() : fade_towards_white(header_colour(), k, width);
        composer.fillRect(k, 0, 1, band.height(), colour);
    }
    // A white title with a black shadow one pixel to the right and below.
    composer.setFont(title_font_);
    const auto title_at = [&](int x, int y, const QColor& colour) {
        composer.setPen(colour);
        composer.drawText(QRect(x - band.left(), y - band.top(), band.width(), band.height()),
                          Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, caption_text_);
    };
    title_at(page_rect_.left() + 25, list_top + 4, Qt::black);
    title_at(page_rect_.left() + 24, list_top + 3, Qt::white);
    composer.end();
    painter.drawImage(band.topLeft(), buffer);
}

} // namespace morvane
