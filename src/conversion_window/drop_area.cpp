// SPDX-License-Identifier: GPL-3.0-or-later
// The drop area: drops, the chooser, the worker's reports and their display.
#include "conversion_window/drop_area.h"

#include "conversion_window/media_files.h"
#include "conversion_window/posted_call.h"
#include "jobs/clock_text.h"
#include "platform/free_space.h"
#include "players/connected_player_sender.h"
#include "players/player_model_name.h"
#include "skin/link_button.h"
#include "skin/skin_button.h"

#include <QAction>
#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QStyleOptionFocusRect>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#if defined(__SANITIZE_THREAD__)
#include <sanitizer/tsan_interface.h>
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#include <sanitizer/tsan_interface.h>
#define __SANITIZE_THREAD__ 1
#endif
#endif

namespace morvane {

namespace {

#if defined(__SANITIZE_THREAD__)
// Only its address is used: the posted call reads nothing of its own before it acquires.
constexpr char queue_sync_point = 0;
void queue_handed_over() {
    __tsan_release(const_cast<char*>(&queue_sync_point));
}
void queue_taken_over() {
    __tsan_acquire(const_cast<char*>(&queue_sync_point));
}
#else
void queue_handed_over() {}
void queue_taken_over() {}
#endif

constexpr int stop_frame_count = 3;

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

QString media_filter() {
    QStringList patterns;
    for (const std::string& extension : media_extensions()) {
        patterns << QStringLiteral("*.") + QString::fromStdString(extension);
    }
    return DropArea::tr("Audio and video files (%1)").arg(patterns.join(QLatin1Char(' '))) +
           QStringLiteral(";;") + DropArea::tr("All files (*)");
}

std::vector<std::string> open_folder_dialog(QWidget* parent) {
    const QString chosen =
        QFileDialog::getExistingDirectory(parent, DropArea::tr("Add a Folder to Convert"));
    if (chosen.isEmpty()) {
        return {};
    }
    return {QFile::encodeName(chosen).toStdString()};
}

std::vector<std::string> open_file_dialog(QWidget* parent) {
    const QStringList chosen = QFileDialog::getOpenFileNames(
        parent, DropArea::tr("Add Files to Convert"), QString(), media_filter());
    std::vector<std::string> paths;
    for (const QString& file : chosen) {
        paths.push_back(QFile::encodeName(file).toStdString());
    }
    return paths;
}

} // namespace

DropArea::DropArea(const std::string& skin_folder, QWidget* parent)
    : QAbstractButton(parent), chooser_(open_file_dialog), folder_chooser_(open_folder_dialog),
      worker_(std::make_unique<ConversionWorker>(*this)) {
    setAcceptDrops(true);
    setFocusPolicy(Qt::StrongFocus);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding); // not a button's fixed height
    // What it does, for a screen reader (its name) and for the mouse (its tooltip).
    setText(tr("Add files to convert"));
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

    // The prompt, or the last batch's summary.
    idle_panel_ = new QWidget(this);
    player_label_ = new QLabel(idle_panel_);
    player_label_->setAlignment(Qt::AlignCenter);
    player_label_->setWordWrap(true);
    player_label_->setTextFormat(Qt::PlainText);
    player_label_->hide();
    eject_link_ = new LinkButton(tr("Eject"), idle_panel_);
    connect(eject_link_, &QAbstractButton::clicked, this, &DropArea::eject_player);
    eject_link_->hide();
    status_label_ = new QLabel(idle_panel_);
    status_label_->setAlignment(Qt::AlignCenter);
    status_label_->setWordWrap(true);
    status_label_->setTextFormat(Qt::PlainText);
    failed_files_link_ = new LinkButton(tr("Show the files not converted"), idle_panel_);
    connect(failed_files_link_, &QAbstractButton::clicked, this,
            [this] { emit failed_files_requested(last_failed_files_); });
    failed_files_link_->hide();
    auto* idle_layout = new QVBoxLayout(idle_panel_);
    idle_layout->setContentsMargins(4, 0, 4, 1);
    idle_layout->setSpacing(0);
    idle_layout->addWidget(player_label_);
    idle_layout->addWidget(eject_link_, 0, Qt::AlignHCenter);
    idle_layout->addWidget(status_label_);
    idle_layout->addWidget(failed_files_link_, 0, Qt::AlignHCenter);

    // The running batch.
    batch_panel_ = new QWidget(this);
    file_label_ = new QLabel(batch_panel_);
    file_label_->setMinimumWidth(1); // a long name is elided, it never widens the window
    progress_bar_ = new QProgressBar(batch_panel_);
    progress_bar_->setRange(0, 100);
    progress_bar_->setAccessibleName(tr("Progress of the current file"));
    count_label_ = new QLabel(batch_panel_);
    count_label_->setMinimumWidth(1);
    auto* skinned_stop = new SkinButton(true, batch_panel_);
    if (skinned_stop->load_strip(skin_folder + "stop.bmp", stop_frame_count, true)) {
        skinned_stop->setFixedSize(skinned_stop->state_frame_size());
        stop_button_ = skinned_stop;
    } else {
        // A skin without the picture still needs a way to stop.
        delete skinned_stop;
        stop_button_ = new QPushButton(batch_panel_);
    }
    stop_button_->setText(tr("Stop"));
    stop_button_->setAccessibleName(tr("Stop"));
    stop_button_->setToolTip(tr("Stop converting: the current file is kept, shorter"));
    connect(stop_button_, &QAbstractButton::clicked, this, &DropArea::request_stop);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(2);
    texts->addWidget(file_label_);
    texts->addWidget(progress_bar_);
    texts->addWidget(count_label_);
    auto* batch_layout = new QHBoxLayout(batch_panel_);
    batch_layout->setContentsMargins(6, 4, 2, 2);
    batch_layout->addLayout(texts, 1);
    batch_layout->addWidget(stop_button_, 0, Qt::AlignVCenter);
    batch_panel_->hide();

    announcer_ = new Announcer(this);
    // The picture is fitted above whichever panel shows: it is drawn again when they move.
    idle_panel_->installEventFilter(this);
    batch_panel_->installEventFilter(this);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addStretch(1);
    layout->addWidget(idle_panel_);
    layout->addWidget(batch_panel_);

    setTabOrder(this, eject_link_);
    setTabOrder(eject_link_, failed_files_link_);
    setTabOrder(failed_files_link_, stop_button_);
    show_idle_text(tr("Drop audio/video files"));
}

DropArea::~DropArea() {
    // A running conversion stops at its next progress report; the thread is joined here,
    // before the widgets and the host it reports to go away.
    worker_.reset();
}

void DropArea::set_device(const DeviceProfile& device) {
    device_ = device;
    device_picture_.load(device_.image_path); // a missing picture leaves the area white
    worker_->set_device(device_);
    show_player_line();
    update();
}

void DropArea::set_settings(const AppSettings& settings) {
    settings_ = settings;
    show_player_line();
}

void DropArea::set_player_watcher(PlayerWatcher* watcher) {
    if (player_watcher_ != nullptr) {
        disconnect(player_watcher_, nullptr, this, nullptr);
    }
    player_watcher_ = watcher;
    ejecting_ = false;
    if (watcher != nullptr) {
        connect(watcher, &PlayerWatcher::players_changed, this, &DropArea::take_players);
        connect(watcher, &PlayerWatcher::eject_finished, this, &DropArea::take_eject_result);
    }
    take_players();
}

void DropArea::take_players() {
    player_.reset();
    if (player_watcher_ != nullptr) {
        const std::vector<PlayerRoot> players = player_watcher_->players();
        if (!players.empty()) {
            player_ = players.front();
        }
    }
    // Whether a file goes onto it is the worker's to decide, by the settings and the device
    // of its batch. Nothing goes onto a player on its way out.
    worker_->set_player(player_ && !ejecting_ ? ConnectedPlayerSender::opener(*player_)
                                              : PlayerSenderOpener());
    show_player_line();
}

QString DropArea::player_title() const {
    if (!player_) {
        return {};
    }
    std::string volume = player_->path;
    while (volume.size() > 1 && volume.back() == '/') {
        volume.pop_back();
    }
    volume = volume.substr(volume.find_last_of('/') + 1);
    return tr("%1 '%2'").arg(QString::fromStdString(player_model_name(*player_)),
                             QFile::decodeName(QByteArray::fromStdString(volume)));
}

void DropArea::eject_player() {
    // Never while a batch may write to it; the link is hidden then, but a key may come first.
    if (!player_ || player_watcher_ == nullptr || ejecting_ || worker_->busy()) {
        return;
    }
    ejecting_ = true;
    ejecting_title_ = player_title(); // the player may be gone by the time it is done
    worker_->set_player({});
    if (eject_link_->hasFocus()) {
        setFocus(Qt::OtherFocusReason);
    }
    show_player_line();
    show_idle_text(tr("Ejecting %1…").arg(ejecting_title_));
    player_watcher_->eject(*player_);
}

void DropArea::take_eject_result(const QString& problem) {
    if (!ejecting_) {
        return;
    }
    ejecting_ = false;
    const QString text = problem.isEmpty() ? tr("%1 can be unplugged").arg(ejecting_title_)
                                           : tr("Can't eject %1: %2").arg(ejecting_title_, problem);
    show_idle_text(text);
    announcer_->announce(text);
    take_players(); // a player that stayed takes files again
}

void DropArea::show_player_line() {
    const QString title = player_title();
    QString text;
    // Said only while a player is connected: without one there is nothing to send.
    if (settings_.send_to_player != 0 && player_) {
        if (!device_.accepts_sent_files) {
            text = tr("This device cannot receive files from Morvane");
        } else if (const auto space = free_space(player_->path);
                   const auto* bytes = std::get_if<std::uint64_t>(&space)) {
            const QString free = QLocale().formattedDataSize(static_cast<qint64>(*bytes), 1,
                                                             QLocale::DataSizeSIFormat);
            text = tr("Send to: %1 — %2 free").arg(title, free);
            // Too long for one line: the free space goes on the next, not half of it.
            const int room = std::max(1, width() - 8);
            if (player_label_->fontMetrics().horizontalAdvance(text) > room) {
                text = tr("Send to: %1\n%2 free").arg(title, free);
            }
        } else {
            text = tr("Send to: %1").arg(title);
        }
    }
    player_label_->setText(text);
    player_label_->setVisible(!text.isEmpty());
    const bool can_eject = player_ && player_watcher_ != nullptr && player_watcher_->can_eject();
    const bool show_eject = can_eject && !ejecting_ && !text.isEmpty();
    if (!show_eject && eject_link_->hasFocus()) {
        setFocus(Qt::OtherFocusReason); // not on to whatever follows it
    }
    eject_link_->setVisible(show_eject);
    eject_link_->setAccessibleName(tr("Eject %1").arg(title));
}

void DropArea::add_files(const std::vector<std::string>& paths) {
    if (paths.empty()) {
        return;
    }
    const std::vector<std::string> files = expand_media_folders(paths);
    if (files.empty()) {
        show_idle_text(tr("No audio or video files in that folder"));
        return;
    }
    worker_->set_settings(settings_);
    worker_->add_files(files);
    worker_->start_conversion();
}

void DropArea::choose_files() {
    if (chooser_) {
        add_files(chooser_(this));
    }
}

void DropArea::choose_folder() {
    if (folder_chooser_) {
        add_files(folder_chooser_(this));
    }
}

void DropArea::request_stop() {
    if (!converting_ || stopping_) {
        return;
    }
    stopping_ = true;
    // The focus leaves the button it disables for the area itself, not for whatever follows
    // (the minimise button would take the next Space); it moves before the button is
    // disabled, or a screen reader hears of the minimise button on the way.
    if (stop_button_->hasFocus()) {
        setFocus(Qt::OtherFocusReason);
    }
    stop_button_->setEnabled(false);
    count_label_->setText(tr("Stopping…"));
    announcer_->announce(tr("Stopping: the current file is kept, shorter"));
    worker_->request_stop();
}

void DropArea::resizeEvent(QResizeEvent* event) {
    QAbstractButton::resizeEvent(event);
    show_player_line();
}

void DropArea::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    // The desktop's own colours: a dark theme stays dark.
    painter.fillRect(rect(), palette().color(QPalette::Base));
    // The device stands whole above the panel below it, made smaller where it must be.
    const QWidget* panel = batch_panel_->isVisible() ? batch_panel_ : idle_panel_;
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
    add_files(paths);
}

void DropArea::set_drop_highlighted(bool highlighted) {
    if (drop_highlighted_ != highlighted) {
        drop_highlighted_ = highlighted;
        update();
    }
}

void DropArea::show_idle_text(const QString& text) {
    status_label_->setText(text);
    // What is shown, then how to add files without a mouse.
    setAccessibleDescription(
        tr("%1. Press to choose files, or Ctrl+O; Ctrl+Shift+O adds a folder.").arg(text));
}

void DropArea::post(std::function<void()> work) {
    // Qt's event queue orders the worker's writes before the call runs here (an event that
    // is left when the widget goes is deleted with it). ThreadSanitizer cannot see inside
    // Qt's own locks, so it is told of the hand-over, once the call is whole: the reason
    // this is an event of ours rather than a functor handed to invokeMethod, which builds
    // its copy inside Qt after any point that could be marked here.
    auto* call = new PostedCall(std::move(work));
    queue_handed_over();
    QCoreApplication::postEvent(this, call);
}

void DropArea::customEvent(QEvent* event) {
    queue_taken_over(); // before anything of the event is read
    if (event->type() == PostedCall::posted_call_type()) {
        static_cast<PostedCall*>(event)->run();
        return;
    }
    QAbstractButton::customEvent(event);
}

void DropArea::conversion_begin() {
    post([this] {
        if (converting_) {
            return; // the next file of the same batch
        }
        converting_ = true;
        stopping_ = false;
        batch_clock_.start();
        time_left_ = BatchTimeLeft{};
        stop_button_->setEnabled(true);
        file_label_->clear();
        count_label_->clear();
        progress_bar_->setValue(0);
        announced_tenth_ = -1;
        // The link goes with the idle panel: the keyboard stays on the area rather than pass
        // to whatever follows (the settings button, disabled at once, then minimise).
        if (window()->focusWidget() == failed_files_link_) {
            setFocus(Qt::OtherFocusReason);
        }
        idle_panel_->hide();
        batch_panel_->show();
        emit batch_started();
    });
}

void DropArea::status_changed(const ConversionStatus& status) {
    post([this, status] { show_status(status); });
}

void DropArea::file_finished(const std::string&, const JobOutcome& outcome) {
    // The summary at the end of the batch says how each file ended; the time left weighs
    // what it took.
    post([this, outcome] {
        switch (outcome.status) {
        case JobStatus::converted:
        case JobStatus::stopped:
        case JobStatus::incomplete:
            time_left_.file_progress(shown_index_, outcome.seconds_total, 1.0);
            break;
        default:
            time_left_.file_passed(shown_index_);
            break;
        }
    });
}

void DropArea::conversion_end(const BatchSummary& summary) {
    post([this, summary] {
        converting_ = false;
        stopping_ = false;
        // The window's focus, whether or not it is active.
        const bool stop_had_focus = window()->focusWidget() == stop_button_;
        idle_panel_->show();
        show_summary(summary);
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
        batch_panel_->hide();
        emit batch_finished(summary);
    });
}

void DropArea::show_status(const ConversionStatus& status) {
    if (!status.converting || !converting_) {
        return; // the idle prompt stays as the summary left it
    }
    const QString name =
        QFileInfo(QFile::decodeName(QByteArray::fromStdString(status.path))).fileName();
    // The label's own width may not be laid out yet when the first file starts.
    const int room = width() - stop_button_->width() - 12;
    file_label_->setText(file_label_->fontMetrics().elidedText(name, Qt::ElideMiddle, room));
    file_label_->setToolTip(name);
    progress_bar_->setValue(std::clamp(status.percent, 0, 100));
    progress_bar_->setAccessibleDescription(name);
    if (status.index != shown_index_) {
        announced_tenth_ = -1;
    }
    shown_index_ = status.index;
    time_left_.file_progress(status.index, status.seconds, progress_bar_->value() / 100.0);
    if (!stopping_) {
        QString counts = tr("%1 of %2").arg(status.index + 1).arg(status.total);
        const QString left = time_left_text(status);
        if (!left.isEmpty()) {
            counts += QStringLiteral(" · ") + left;
        }
        count_label_->setText(counts);
    }
    const QString converting = tr("Converting %1, %2 of %3, %4%")
                                   .arg(name)
                                   .arg(status.index + 1)
                                   .arg(status.total)
                                   .arg(progress_bar_->value());
    setAccessibleDescription(converting);
    // A screen reader hears of each tenth, and of each file as it starts.
    const int tenth = progress_bar_->value() / 10;
    if (!stopping_ && tenth != announced_tenth_ && (tenth > announced_tenth_ || tenth == 0)) {
        announced_tenth_ = tenth;
        announcer_->announce(converting);
    }
}

QString DropArea::time_left_text(const ConversionStatus& status) const {
    const std::optional<double> seconds =
        time_left_.seconds_left(static_cast<double>(batch_clock_.elapsed()) / 1000.0, status.total);
    if (!seconds) {
        return {};
    }
    return tr("%1 left").arg(QString::fromStdString(clock_text(std::ceil(*seconds))));
}

void DropArea::show_summary(const BatchSummary& summary) {
    last_failed_files_ = summary.failed_files;
    QStringList parts;
    if (summary.converted > 0) {
        parts << tr("%n converted", nullptr, summary.converted);
    }
    if (summary.stopped > 0) {
        parts << tr("%n stopped", nullptr, summary.stopped);
    }
    if (summary.incomplete > 0) {
        parts << tr("%n incomplete", nullptr, summary.incomplete);
    }
    if (summary.not_started > 0) {
        parts << tr("%n not started", nullptr, summary.not_started);
    }
    if (summary.skipped > 0) {
        parts << tr("%n skipped", nullptr, summary.skipped);
    }
    if (summary.failed > 0) {
        parts << tr("%n failed", nullptr, summary.failed);
    }
    if (summary.sent > 0) {
        parts << tr("%n sent to the player", nullptr, summary.sent);
    }
    if (summary.not_sent > 0) {
        parts << tr("%n not sent to the player", nullptr, summary.not_sent);
    }
    const QString text = parts.join(QStringLiteral(", "));
    failed_files_link_->setVisible(!summary.failed_files.empty());
    show_player_line(); // the space the batch took
    show_idle_text(text.isEmpty() ? tr("Drop audio/video files") : text);
    if (!text.isEmpty()) {
        announcer_->announce(tr("Batch finished: %1").arg(text));
    }
}

} // namespace morvane
