// SPDX-License-Identifier: GPL-3.0-or-later
// The drop area's panels, painting, drops, keys and choosers.
#include "conversion_window/drop_area.h"

#include "conversion_window/announcer.h"
#include "conversion_window/file_choosers.h"
#include "conversion_window/progress_panel.h"
#include "skin/link_button.h"

#include <QAction>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QMimeData>
#include <QPainter>
#include <QStyleOptionFocusRect>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>

namespace morvane {

namespace {

std::vector<std::string> local_paths(const QMimeData* data) {
    std::vector<std::string> paths;
    if (data == nullptr || !data->hasUrls()) {
        return paths;
    }
    for (const QUrl& url : data->urls()) {
        if (url.isLocalFile()) {
            paths.push_back(QFile::encodeName(url.toLocalFile()).toStdString());
        }
    }
    return paths;
}

QLabel* centred_label(QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setAlignment(Qt::AlignCenter);
    label->setWordWrap(true);
    label->setTextFormat(Qt::PlainText);
    return label;
}

} // namespace

DropArea::DropArea(const std::string& skin_folder, QWidget* parent)
    : QAbstractButton(parent), chooser_(choose_files_with_dialog),
      folder_chooser_(choose_folder_with_dialog) {
    setAcceptDrops(true);
    setFocusPolicy(Qt::StrongFocus);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding); // not a button's fixed height
    // What it does, for a screen reader (its name and description) and for the mouse (its
    // tooltip). The description stays as it is: a screen reader reads a new one of the focused
    // control at once, and the end of a batch is said once, by the announcer.
    setText(tr("Add files to convert"));
    setAccessibleDescription(tr("Press to choose files, or Ctrl+O; Ctrl+Shift+O adds a folder."));
    setToolTip(tr("Drop audio or video files or folders here, or press to choose files "
                  "(Ctrl+O); its menu adds a folder (Ctrl+Shift+O)"));
    setCursor(Qt::PointingHandCursor);
    connect(this, &QAbstractButton::clicked, this, &DropArea::choose_files);
    // Its menu's keys work anywhere in the window, and the menu shows them.
    auto* add_files_action = new QAction(tr("Add Files…"), this);
    QList<QKeySequence> open_keys = QKeySequence::keyBindings(QKeySequence::Open);
    if (open_keys.isEmpty()) {
        open_keys.append(QKeySequence(tr("Ctrl+O")));
    }
    add_files_action->setShortcuts(open_keys);
    add_files_action->setShortcutContext(Qt::WindowShortcut);
    connect(add_files_action, &QAction::triggered, this, &DropArea::choose_files);
    auto* add_folder_action = new QAction(tr("Add Folder…"), this);
    add_folder_action->setShortcut(QKeySequence(tr("Ctrl+Shift+O")));
    add_folder_action->setShortcutContext(Qt::WindowShortcut);
    connect(add_folder_action, &QAction::triggered, this, &DropArea::choose_folder);
    addAction(add_files_action);
    addAction(add_folder_action);
    setContextMenuPolicy(Qt::ActionsContextMenu);

    // Between batches: the player's line, the prompt or the last batch's summary.
    idle_panel_ = new QWidget(this);
    player_label_ = centred_label(idle_panel_);
    player_label_->hide();
    eject_link_ = new LinkButton(tr("Eject"), idle_panel_);
    connect(eject_link_, &QAbstractButton::clicked, this, &DropArea::eject_clicked);
    eject_link_->hide();
    status_label_ = centred_label(idle_panel_);
    failed_files_link_ = new LinkButton(QString(), idle_panel_);
    connect(failed_files_link_, &QAbstractButton::clicked, this, &DropArea::failed_files_clicked);
    failed_files_link_->hide();
    // Both links stand on the area's own colour.
    eject_link_->setBackgroundRole(QPalette::Base);
    failed_files_link_->setBackgroundRole(QPalette::Base);
    auto* idle_layout = new QVBoxLayout(idle_panel_);
    idle_layout->setContentsMargins(4, 0, 4, 1);
    idle_layout->setSpacing(0);
    idle_layout->addWidget(player_label_);
    idle_layout->addWidget(eject_link_, 0, Qt::AlignHCenter);
    idle_layout->addWidget(status_label_);
    idle_layout->addWidget(failed_files_link_, 0, Qt::AlignHCenter);

    progress_panel_ = new ProgressPanel(skin_folder, this);
    connect(progress_panel_->stop_button(), &QAbstractButton::clicked, this,
            &DropArea::stop_clicked);
    progress_panel_->hide();

    announcer_ = new Announcer(this);
    // The picture is fitted above whichever panel shows: it is drawn again when they move.
    idle_panel_->installEventFilter(this);
    progress_panel_->installEventFilter(this);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addStretch(1);
    layout->addWidget(idle_panel_);
    layout->addWidget(progress_panel_);

    setTabOrder(this, eject_link_);
    setTabOrder(eject_link_, failed_files_link_);
    setTabOrder(failed_files_link_, progress_panel_->stop_button());
    show_idle_text(tr("Drop audio/video files"));
}

QLabel* DropArea::file_label() const {
    return progress_panel_->file_label();
}

QLabel* DropArea::count_label() const {
    return progress_panel_->count_label();
}

QProgressBar* DropArea::progress_bar() const {
    return progress_panel_->progress_bar();
}

QAbstractButton* DropArea::stop_button() const {
    return progress_panel_->stop_button();
}

void DropArea::show_device_picture(const std::string& path) {
    device_picture_.load(path); // a missing picture leaves the area white
    update();
}

void DropArea::choose_files() {
    if (chooser_) {
        add_chosen(chooser_(this));
    }
}

void DropArea::choose_folder() {
    if (folder_chooser_) {
        add_chosen(folder_chooser_(this));
    }
}

void DropArea::add_chosen(const std::vector<std::string>& paths) {
    if (!paths.empty()) {
        emit files_added(paths);
    }
}

void DropArea::show_idle_text(const QString& text, const QString& link) {
    status_label_->setText(text);
    failed_files_link_->setText(link);
    if (link.isEmpty() && failed_files_link_->hasFocus()) {
        setFocus(Qt::OtherFocusReason); // not on to whatever follows it
    }
    failed_files_link_->setVisible(!link.isEmpty());
}

void DropArea::show_player_line(const PlayerLine& line) {
    player_line_ = line;
    lay_out_player_line();
    const bool show_eject = !line.eject_title.isEmpty();
    if (!show_eject && eject_link_->hasFocus()) {
        setFocus(Qt::OtherFocusReason); // not on to whatever follows it
    }
    eject_link_->setAccessibleName(tr("Eject %1").arg(line.eject_title));
    eject_link_->setVisible(show_eject);
}

void DropArea::lay_out_player_line() {
    const PlayerLine& line = player_line_;
    QString text = line.text;
    if (text.isEmpty() && !line.title.isEmpty()) {
        if (line.free_space.isEmpty()) {
            text = tr("Send to: %1").arg(line.title);
        } else {
            text = tr("Send to: %1 — %2 free").arg(line.title, line.free_space);
            // Too long for one line: the free space goes on the next, not half of it.
            if (player_label_->fontMetrics().horizontalAdvance(text) > std::max(1, width() - 8)) {
                text = tr("Send to: %1\n%2 free").arg(line.title, line.free_space);
            }
        }
    }
    player_label_->setText(text);
    player_label_->setVisible(!text.isEmpty());
}

void DropArea::show_batch_running(bool running) {
    if (running) {
        progress_panel_->clear();
        // The link goes with the idle panel: the keyboard stays on the area rather than pass
        // to whatever follows (the settings button, disabled at once, then minimise).
        if (window()->focusWidget() == failed_files_link_ ||
            window()->focusWidget() == eject_link_) {
            setFocus(Qt::OtherFocusReason);
        }
        idle_panel_->hide();
        progress_panel_->show();
        return;
    }
    // The window's focus, whether or not it is active.
    const bool stop_had_focus = window()->focusWidget() == stop_button();
    idle_panel_->show();
    if (stop_had_focus || focusWidget() == nullptr) {
        // Where a keyboard user goes next: the failed files, or the area again.
        if (failed_files_link_->isVisible()) {
            failed_files_link_->setFocus(Qt::OtherFocusReason);
        } else {
            setFocus(Qt::OtherFocusReason);
        }
    }
    // Hidden once the focus has left it: the focused stop button hidden first passed the
    // focus to the minimise button on the way, and a screen reader said so.
    progress_panel_->hide();
}

void DropArea::show_stopping() {
    // The focus moves before the button is disabled, or a screen reader hears of the
    // minimise button on the way (the next Space would minimise the window).
    if (stop_button()->hasFocus()) {
        setFocus(Qt::OtherFocusReason);
    }
    progress_panel_->show_stopping();
}

void DropArea::resizeEvent(QResizeEvent* event) {
    QAbstractButton::resizeEvent(event);
    lay_out_player_line();
}

void DropArea::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    // The desktop's own colours: a dark theme stays dark.
    painter.fillRect(rect(), palette().color(QPalette::Base));
    // The device stands whole above the panel below it, made smaller where it must be.
    const QWidget* panel = progress_panel_->isVisible() ? progress_panel_ : idle_panel_;
    const QRect room(0, 2, width(), std::max(0, panel->geometry().top() - 2));
    if (!device_picture_.is_null() && !room.isEmpty()) {
        const QSize size = device_picture_.size().scaled(
            room.size().boundedTo(device_picture_.size()), Qt::KeepAspectRatio);
        const QRect target(QPoint((room.width() - size.width()) / 2, room.top()), size);
        // The pictures are photographs on white: on a dark theme they stand on a white card.
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(Qt::white);
        painter.drawRoundedRect(QRectF(target).adjusted(-2, -2, 2, 2), 6, 6);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawPixmap(target, device_picture_.for_ratio(devicePixelRatioF()));
    }
    if (drop_highlighted_) {
        QColor tint = palette().color(QPalette::Highlight);
        tint.setAlpha(40);
        painter.fillRect(rect(), tint);
        painter.setPen(QPen(palette().color(QPalette::Highlight), 3));
        painter.drawRect(QRectF(rect()).adjusted(1.5, 1.5, -1.5, -1.5));
    }
    if (hasFocus()) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect = rect().adjusted(2, 2, -2, -2);
        focus.backgroundColor = palette().color(QPalette::Base);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &painter, this);
    }
}

bool DropArea::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::Move:
    case QEvent::Resize:
    case QEvent::Show:
    case QEvent::Hide:
        update();
        break;
    default:
        break;
    }
    return QAbstractButton::eventFilter(watched, event);
}

void DropArea::keyPressEvent(QKeyEvent* event) {
    // A button is pressed with Return too, as people expect of the one thing to press here.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        click();
        return;
    }
    QAbstractButton::keyPressEvent(event);
}

void DropArea::dragEnterEvent(QDragEnterEvent* event) {
    if (!local_paths(event->mimeData()).empty()) {
        event->acceptProposedAction();
        set_drop_highlighted(true);
    }
}

void DropArea::dragMoveEvent(QDragMoveEvent* event) {
    if (!local_paths(event->mimeData()).empty()) {
        event->acceptProposedAction();
    }
}

void DropArea::dragLeaveEvent(QDragLeaveEvent*) {
    set_drop_highlighted(false);
}

void DropArea::dropEvent(QDropEvent* event) {
    set_drop_highlighted(false);
    const std::vector<std::string> paths = local_paths(event->mimeData());
    if (paths.empty()) {
        return;
    }
    event->acceptProposedAction();
    emit files_added(paths);
}

void DropArea::set_drop_highlighted(bool highlighted) {
    if (drop_highlighted_ != highlighted) {
        drop_highlighted_ = highlighted;
        update();
    }
}

} // namespace morvane
