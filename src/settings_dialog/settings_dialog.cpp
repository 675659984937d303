// SPDX-License-Identifier: GPL-3.0-or-later
// Layout, page switching and frames of the settings dialog.
#include "settings_dialog/settings_dialog.h"

#include "jobs/language_codes.h"
#include "settings_dialog/about_page.h"
#include "settings_dialog/current_item_focus.h"
#include "settings_dialog/devices_page.h"
#include "settings_dialog/failure_message.h"
#include "settings_dialog/films_group.h"
#include "settings_dialog/films_page.h"
#include "settings_dialog/general_page.h"
#include "settings_dialog/header_band.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QScreen>
#include <QScrollArea>
#include <QShowEvent>
#include <QStackedWidget>
#include <QStyle>
#include <QVBoxLayout>
#include <algorithm>
#include <cstdlib>

namespace morvane {

namespace {

// The page titles in the desktop's own list colours (a dark theme stays dark), each closed
// by a line that fades from the selection colour; the chosen one filled with the selection
// colour (white on it measures 6:1) whether or not the list has the keyboard focus, so
// that it always says which page is on show.
QString page_list_style() {
    const QString selection = SettingsDialog::selection_colour().name();
    return QStringLiteral(
               "QListWidget { background: palette(base); border: 1px solid %1;"
               " padding-top: 3px; }"
               "QListWidget::item { color: palette(text); margin: 0px 3px; padding-left: 8px;"
               " border: none; border-bottom: 2px solid qlineargradient(x1: 0, y1: 0, x2: 1,"
               " y2: 0, stop: 0 %2, stop: 1 palette(base)); }"
               "QListWidget::item:hover { background: palette(base); }"
               "QListWidget::item:selected { background: %2; color: white; }")
        .arg(SettingsDialog::frame_colour().name(), selection);
}

// Holds the pages in the scroll area. The area gives a widget whose layout has a height for
// its width (a page with wrapped text has) the height it prefers, every picture whole, and
// scrolls; a widget without a layout gets the height there is, and the pictures shrink to
// it first.
class PageHolder : public QWidget {
public:
    PageHolder(QStackedWidget* pages, QWidget* parent) : QWidget(parent), pages_(pages) {
        pages_->setParent(this);
    }
    QSize sizeHint() const override { return pages_->sizeHint(); }
    QSize minimumSizeHint() const override { return pages_->minimumSizeHint(); }

protected:
    void resizeEvent(QResizeEvent* /*event*/) override { pages_->setGeometry(rect()); }

private:
    QStackedWidget* pages_;
};

} // namespace

SettingsDialog::SettingsDialog(const AppSettings& settings, const DeviceTable& devices,
                               std::string data_folder, DesktopShell& shell, QWidget* parent)
    : QDialog(parent), settings_(settings) {
    setWindowTitle(tr("Settings"));
    setSizeGripEnabled(true);

    // Made in the order Tab visits them: the list, the page, the buttons.
    page_list_ = new QListWidget(this);
    page_list_->setObjectName(QStringLiteral("page_list"));
    page_list_->setAccessibleName(tr("Pages"));
    page_list_->setStyleSheet(page_list_style());
    page_list_->setSelectionMode(QAbstractItemView::SingleSelection);
    page_list_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // A screen reader says which page shows as the dialog opens, not only "list".
    new CurrentItemFocus(page_list_);
    header_ = new HeaderBand(this);
    pages_ = new QStackedWidget(this);
    general_page_ = new GeneralPage(settings_, shell, pages_);
    devices_page_ = new DevicesPage(devices, settings_, pages_);
    films_page_ = new FilmsPage(settings_, desktop_languages(std::getenv), pages_);
    about_page_ = new AboutPage(data_folder, shell, pages_);
    add_page(general_page_, tr("General"));
    add_page(devices_page_, tr("Devices"));
    add_page(films_page_, tr("Films"));
    add_page(about_page_, tr("About"));
    buttons_ = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);

    // The list is as wide as its longest title needs, and never narrower than it used to be.
    const QFontMetrics metrics = page_list_->fontMetrics();
    int widest = 0;
    for (int row = 0; row < page_list_->count(); ++row) {
        widest = std::max(widest, metrics.horizontalAdvance(page_list_->item(row)->text()));
    }
    page_list_->setFixedWidth(
        std::max(widest + 3 * metrics.height(), 20 * metrics.averageCharWidth()));

    // The page's frame is painted around this area; the header band covers its top.
    auto* page_area = new QVBoxLayout;
    page_area->setContentsMargins(1, 0, 1, 1);
    // On a small screen (1280x800 at twice the pixels is 640x400) the pages' pictures
    // shrink and their texts wrap to the width; only what still does not fit scrolls, up
    // and down, so that OK and Cancel stay on the screen.
    page_scroller_ = new QScrollArea(this);
    page_scroller_->setWidget(new PageHolder(pages_, page_scroller_));
    page_scroller_->setWidgetResizable(true);
    page_scroller_->setFrameShape(QFrame::NoFrame);
    page_scroller_->setFocusPolicy(Qt::NoFocus);
    page_scroller_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    page_scroller_->setMinimumWidth(pages_->minimumSizeHint().width() +
                                    style()->pixelMetric(QStyle::PM_ScrollBarExtent));
    page_area->addWidget(page_scroller_);
    auto* page_column = new QVBoxLayout;
    page_column->setSpacing(0);
    page_column->addWidget(header_);
    page_column->addLayout(page_area, 1);
    auto* sheet = new QHBoxLayout;
    sheet->addWidget(page_list_);
    sheet->addLayout(page_column, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(sheet, 1);
    layout->addWidget(buttons_);

    // The films' quality and size follow the player and codec chosen, while the dialog is open.
    if (const DeviceProfile* shown = devices_page_->shown_device()) {
        films_page_->show_device(*shown, devices_page_->chosen_video_codec());
    }
    connect(devices_page_, &DevicesPage::device_shown, films_page_, &FilmsPage::show_device);
    connect(page_list_, &QListWidget::currentRowChanged, this, &SettingsDialog::show_page);
    // A click below the last title must not leave the list without a highlighted page.
    connect(page_list_, &QListWidget::itemSelectionChanged, this, [this] {
        if (page_list_->selectedItems().isEmpty() && page_list_->currentItem() != nullptr) {
            page_list_->currentItem()->setSelected(true);
        }
    });
    connect(buttons_, &QDialogButtonBox::accepted, this, &SettingsDialog::accept);
    connect(buttons_, &QDialogButtonBox::rejected, this, &SettingsDialog::reject);

    page_list_->setCurrentRow(0);
    page_list_->setFocus(Qt::OtherFocusReason);
}

void SettingsDialog::add_page(QWidget* page, const QString& title) {
    pages_->addWidget(page);
    auto* item = new QListWidgetItem(title, page_list_);
    // Tall rows for a few titles, as the list has always had.
    item->setSizeHint(QSize(0, page_list_->fontMetrics().height() * 5 / 2));
}

void SettingsDialog::show_page(int row) {
    if (row < 0 || row >= pages_->count()) {
        return;
    }
    pages_->setCurrentIndex(row);
    header_->set_title(page_list_->item(row)->text());
    // A screen reader names the page as the keyboard enters it.
    pages_->setAccessibleName(page_list_->item(row)->text());
}

void SettingsDialog::set_folder_picker(FolderPicker picker) {
    general_page_->set_folder_picker(std::move(picker));
}

void SettingsDialog::accept() {
    // Languages that cannot be kept are said, and nothing is stored until they can.
    if (const QString problem = films_page_->films()->languages_problem(); !problem.isEmpty()) {
        page_list_->setCurrentRow(pages_->indexOf(films_page_));
        films_page_->films()->languages_field()->setFocus(Qt::OtherFocusReason);
        show_failure(this, problem);
        return;
    }
    general_page_->apply_to(settings_);
    devices_page_->apply_to(settings_);
    films_page_->apply_to(settings_);
    QDialog::accept();
}

QSize SettingsDialog::sizeHint() const {
    // As large as the largest page asks (the scroll area around them would guess), and no
    // smaller than the rest of the dialog needs.
    const QSize pages_more = pages_->sizeHint() - page_scroller_->sizeHint();
    return QDialog::sizeHint() + pages_more.expandedTo(QSize(0, 0));
}

void SettingsDialog::showEvent(QShowEvent* event) {
    // The size the pages ask for, within the screen's edges (QDialog then places it there);
    // Qt's own first size would stop at two thirds of the screen. Before its first showing
    // the window manager's frame is not known yet, so a title bar's height is kept for it.
    if (const QScreen* shown_on = screen(); shown_on != nullptr && !event->spontaneous()) {
        QSize frame = frameGeometry().size() - size();
        if (frame.height() <= 0) {
            frame = QSize(0, style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, this));
        }
        const QSize room = shown_on->availableGeometry().size() - frame;
        resize(sizeHint().expandedTo(size()).boundedTo(room));
    }
    QDialog::showEvent(event);
}

void SettingsDialog::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    painter.setPen(frame_colour());
    const QRect page = header_->geometry().united(page_scroller_->geometry()).adjusted(-1, 0, 1, 1);
    painter.drawRect(page.adjusted(0, 0, -1, -1));
}

} // namespace morvane
