// The window files are dropped on: it shows the selected device's picture on white, a
// one-line status strip along its bottom (the prompt when idle; the file counter and the
// percentage while converting) and, during a batch, a skinned stop button. It owns the
// conversion worker and is its host: everything the worker reports is posted to this
// window's thread and only then touches widgets.
#pragma once

#include "jobs/conversion_host.h"
#include "jobs/conversion_worker.h"
#include "jobs/device_profile.h"
#include "jobs/post_batch_action.h"
#include "platform/desktop_shell.h"
#include "platform/image.h"
#include "settings/app_settings.h"

#include <QString>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace morvane {

class CBitmapButtonEx;

class CConverWnd : public QWidget, public ConversionHost {
    Q_OBJECT

public:
    static constexpr int control_id = 500;
    static constexpr int stop_button_id = 600;
    static constexpr int status_strip_height = 17;

    // Shows the failed files of a batch; the window's own dialog unless replaced.
    using FailedFilesDialog = std::function<void(QWidget* parent, const std::vector<FailedFile>&)>;

    // `settings` belongs to the main window; `save_settings` stores a settings record before
    // the computer is powered off at the end of a batch.
    CConverWnd(AppSettings* settings, DesktopShell& shell,
               std::function<void(const AppSettings&)> save_settings, std::string module_directory,
               QWidget* parent);
    ~CConverWnd() override;

    void create_controls();
    void set_device(const DeviceProfile& device);
    void set_failed_files_dialog(FailedFilesDialog dialog) {
        failed_files_dialog_ = std::move(dialog);
    }

    // What the strip shows (the paint handler draws exactly these).
    bool converting() const { return converting_; }
    QString counter_text() const;
    QString status_text() const { return status_text_; }
    CBitmapButtonEx* stop_button() const { return stop_button_; }
    const DeviceProfile& device() const { return device_; }
    QRect status_strip() const;

    // Files enter here as they enter by a drop: queued in order, then a batch starts or the
    // running one takes them.
    void add_files(const std::vector<std::string>& paths);

signals:
    void conversionBegin(); // a file of a batch starts
    void conversionEnd();   // the batch is over
    void statusChanged();   // the strip shows something new

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    // ConversionHost: called on the worker thread, posted to this one.
    void conversion_begin() override;
    void status_changed(const ConversionStatus& status) override;
    void file_finished(const std::string& path, const JobOutcome& outcome) override;
    void conversion_end(const BatchSummary& summary) override;
    // On this thread: power off, open the folder or show the failed files, as chosen.
    void run_post_batch_action(const BatchSummary& summary);

    // Runs `work` on this window's thread, as soon as it gets to it.
    void post(std::function<void()> work);
    void show_status(bool converting, int current_index, int total_count, const QString& text);

    AppSettings* settings_;
    std::string module_directory_;
    DeviceProfile device_;
    Image device_image_;
    CBitmapButtonEx* stop_button_ = nullptr;
    FailedFilesDialog failed_files_dialog_;

    // The strip as last posted by the worker; read and written on this thread only.
    bool converting_ = false;
    int current_index_ = 0;
    int total_count_ = 0;
    QString status_text_;

    DesktopShell& shell_;
    std::function<void(const AppSettings&)> save_settings_;
    std::unique_ptr<ConversionWorker> worker_; // last: stopped and joined first
};

} // namespace morvane
