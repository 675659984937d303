// SPDX-License-Identifier: GPL-3.0-or-later
// The running batch under the device's picture: the current file, a progress bar, "2 of 5 ·
// 3:12 left" and the stop button (the skin's, or a plain one where the skin has no picture
// for it). To assistive technology it is a status bar: a screen reader then leaves the bar's
// percentages unsaid, and the window's announcer says where the batch stands, at a pace a
// person can follow.
#pragma once

#include <QElapsedTimer>
#include <QWidget>
#include <string>

class QAbstractButton;
class QLabel;
class QProgressBar;

namespace morvane {

class ProgressPanel : public QWidget {
    Q_OBJECT

public:
    // skin_folder holds the stop button's picture (stop.bmp).
    explicit ProgressPanel(const std::string& skin_folder, QWidget* parent = nullptr);

    // A new batch: nothing shown yet, Stop enabled.
    void clear();
    // The file being converted, how far it is, and where the batch stands.
    void show_file(const QString& name, int percent);
    void show_counts(const QString& counts);
    // Stop was pressed: the current file ends, shorter.
    void show_stopping();

    QLabel* file_label() const { return file_label_; }
    QProgressBar* progress_bar() const { return progress_bar_; }
    QLabel* count_label() const { return count_label_; }
    QAbstractButton* stop_button() const { return stop_button_; }

protected:
    void changeEvent(QEvent* event) override;

private:
    // The bar's fill dark (or light) enough for the percentage over it, in the panel's colours.
    void fit_bar_colours();

    QLabel* file_label_;
    QProgressBar* progress_bar_;
    QLabel* count_label_;
    QAbstractButton* stop_button_;
    QString file_name_;
    QElapsedTimer bar_clock_; // since the bar last moved
};

} // namespace morvane
