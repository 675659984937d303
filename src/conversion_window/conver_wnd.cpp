#include "conversion_window/conver_wnd.h"

#include "jobs/string_table.h"
#include "platform/offscreen_paint.h"
#include "skin/bitmap_button_ex.h"
#include "skin/control_id.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QUrl>

namespace morvane {

namespace {

constexpr int strip_box_width = 50;
constexpr int stop_button_width = 35;
constexpr int stop_button_height = 50;

std::vector<std::string> local_paths(const QMimeData* data) {
    std::vector<std::string> paths;
    if (data == nullptr || !data->hasUrls()) {
        return paths;
    }
    for (const QUrl& url : data->urls()) {
        if (url.isLocalFile()) {
            paths.push_back(url.toLocalFile().toStdString());
        }
    }
    return paths;
}

} // namespace

CConverWnd::CConverWnd(AppSettings* settings, DesktopShell& shell,
                       std::function<void(const AppSettings&)> save_settings,
                       std::string module_directory, QWidget* parent)
    : QWidget(parent), settings_(settings), module_directory_(std::move(module_directory)),
      shell_(shell), save_settings_(std::move(save_settings)),
      worker_(std::make_unique<ConversionWorker>(*this)) {
    SetControlId(this, control_id);
    setAcceptDrops(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

CConverWnd::~CConverWnd() {
    // The worker may be converting: it stops at its next progress report and is joined
    // before anything it reports to goes away.
    worker_.reset();
}

void CConverWnd::create_controls() {
    status_text_ = strings::idle_prompt;
    stop_button_ = new CBitmapButtonEx(stop_button_id, true, this);
    stop_button_->setGeometry(width() - stop_button_width, height() - stop_button_height,
                              stop_button_width, stop_button_height);
    stop_button_->LoadImageStrip(module_directory_ + "Skins/stop.bmp", 3, true);
    stop_button_->hide();
    connect(stop_button_, &CBitmapButtonEx::command, this,
            [this](int) { worker_->request_stop(); });
}

void CConverWnd::set_device(const DeviceProfile& device) {
    device_image_.Destroy();
    device_ = device;
    device_image_.Load(device_.image_path); // a missing picture leaves the window white
    worker_->set_device(device_);
    update();
}

QRect CConverWnd::status_strip() const {
    return QRect(0, height() - status_strip_height, width(), status_strip_height);
}

QString CConverWnd::counter_text() const {
    return QString::asprintf(" %d/%d", current_index_ + 1, total_count_);
}

void CConverWnd::add_files(const std::vector<std::string>& paths) {
    if (paths.empty()) {
        return;
    }
    worker_->set_settings(*settings_);
    worker_->add_files(paths);
    worker_->start_conversion();
}

void CConverWnd::mousePressEvent(QMouseEvent* event) {
    // A press here belongs to this window: it does not drag the main window.
    event->accept();
}

void CConverWnd::dragEnterEvent(QDragEnterEvent* event) {
    if (!local_paths(event->mimeData()).empty()) {
        event->acceptProposedAction();
    }
}

void CConverWnd::dragMoveEvent(QDragMoveEvent* event) {
    if (!local_paths(event->mimeData()).empty()) {
        event->acceptProposedAction();
    }
}

void CConverWnd::dropEvent(QDropEvent* event) {
    const std::vector<std::string> paths = local_paths(event->mimeData());
    if (paths.empty()) {
        return;
    }
    event->acceptProposedAction();
    add_files(paths);
}

void CConverWnd::paintEvent(QPaintEvent* event) {
    OffscreenPaint offscreen(this, event->rect(), Qt::white);
    if (!offscreen.isReady()) {
        return;
    }
    QPainter& painter = offscreen.painter();
    if (device_image_.IsValid()) {
        const int x = (width() - static_cast<int>(device_image_.GetWidth())) / 2;
        device_image_.Blt(painter, x, 2);
    }
    const QRect strip = status_strip();
    painter.setPen(palette().color(QPalette::WindowText));
    painter.setFont(font());
    if (converting_) {
        const QRect counter_box(strip.left(), strip.top(), strip_box_width, strip.height());
        const QRect percent_box(strip.right() + 1 - strip_box_width, strip.top(), strip_box_width,
                                strip.height());
        painter.save();
        painter.setClipRect(counter_box);
        painter.drawText(counter_box, Qt::AlignLeft | Qt::AlignTop, counter_text());
        painter.setClipRect(percent_box);
        painter.drawText(percent_box, Qt::AlignLeft | Qt::AlignTop, status_text_);
        painter.restore();
    } else {
        painter.drawText(strip, Qt::AlignHCenter | Qt::AlignTop, status_text_);
    }
}

void CConverWnd::show_status(bool converting, int current_index, int total_count,
                             const QString& text) {
    converting_ = converting;
    current_index_ = current_index;
    total_count_ = total_count;
    status_text_ = text;
    update(status_strip());
    emit statusChanged();
}

void CConverWnd::post(std::function<void()> work) {
    QMetaObject::invokeMethod(this, std::move(work), Qt::QueuedConnection);
}

void CConverWnd::conversion_begin() {
    post([this] {
        if (stop_button_ != nullptr) {
            stop_button_->show();
        }
        emit conversionBegin();
    });
}

void CConverWnd::conversion_end(const BatchSummary& summary) {
    post([this, summary] {
        if (stop_button_ != nullptr) {
            stop_button_->hide();
        }
        emit conversionEnd();
        run_post_batch_action(summary);
    });
}

void CConverWnd::run_post_batch_action(const BatchSummary& summary) {
    switch (choose_post_batch_action(*settings_, summary)) {
    case PostBatchAction::power_off:
        if (save_settings_) {
            save_settings_(*settings_);
        }
        shell_.power_off();
        break;
    case PostBatchAction::open_folder:
        shell_.open_folder(settings_->output_folder);
        break;
    case PostBatchAction::show_failed_files:
        if (failed_files_dialog_) {
            failed_files_dialog_(this, summary.failed_files);
        }
        break;
    case PostBatchAction::none:
        break;
    }
}

void CConverWnd::status_changed(const ConversionStatus& status) {
    // The values travel with the message, so the window never reads the worker's state.
    post([this, status] {
        show_status(status.converting, status.index, status.total,
                    QString::fromStdString(status.text));
    });
}

void CConverWnd::file_finished(const std::string&, const JobOutcome&) {}

} // namespace morvane
