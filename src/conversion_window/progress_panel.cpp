// SPDX-License-Identifier: GPL-3.0-or-later
#include "conversion_window/progress_panel.h"

#include "skin/readable_colour.h"
#include "skin/skin_button.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

namespace morvane {

namespace {

constexpr int stop_frame_count = 3;
constexpr qint64 bar_interval_ms = 500;

QAccessibleInterface* panel_accessible(const QString& class_name, QObject* object) {
    if (class_name == QLatin1String("morvane::ProgressPanel")) {
        return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::StatusBar);
    }
    return nullptr;
}

} // namespace

ProgressPanel::ProgressPanel(const std::string& skin_folder, QWidget* parent) : QWidget(parent) {
    // Qt keeps its factories in a list of its own; adding the same one twice is harmless.
    QAccessible::removeFactory(panel_accessible);
    QAccessible::installFactory(panel_accessible);
    setAccessibleName(tr("Progress"));
    file_label_ = new QLabel(this);
    file_label_->setMinimumWidth(1); // a long name is elided, it never widens the window
    file_label_->setTextFormat(Qt::PlainText);
    progress_bar_ = new QProgressBar(this);
    progress_bar_->setRange(0, 100);
    progress_bar_->setAccessibleName(tr("Progress of the current file"));
    fit_bar_colours();
    count_label_ = new QLabel(this);
    count_label_->setMinimumWidth(1);
    count_label_->setTextFormat(Qt::PlainText);
    auto* skinned_stop = new SkinButton(true, this);
    if (skinned_stop->load_strip(skin_folder + "stop.bmp", stop_frame_count, true)) {
        skinned_stop->setFixedSize(skinned_stop->state_frame_size());
        stop_button_ = skinned_stop;
    } else {
        // A skin without the picture still needs a way to stop.
        delete skinned_stop;
        stop_button_ = new QPushButton(this);
    }
    stop_button_->setText(tr("Stop"));
    stop_button_->setAccessibleName(tr("Stop"));
    stop_button_->setToolTip(tr("Stop converting: the current file is kept, shorter"));

    auto* texts = new QVBoxLayout;
    texts->setSpacing(2);
    texts->addWidget(file_label_);
    texts->addWidget(progress_bar_);
    texts->addWidget(count_label_);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(6, 4, 2, 2);
    layout->addLayout(texts, 1);
    layout->addWidget(stop_button_, 0, Qt::AlignVCenter);
}

void ProgressPanel::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange) {
        fit_bar_colours(); // a theme changed while the program runs
    }
}

void ProgressPanel::fit_bar_colours() {
    // The percentage is drawn over the fill in the selected text's colour: 3.7:1 or less on
    // the themes' selection colour, and less still on the fill, which Fusion shades from
    // 120% of that colour down to it.
    progress_bar_->setPalette(readable_highlight(palette(), 120));
}

void ProgressPanel::clear() {
    stop_button_->setEnabled(true);
    file_name_.clear();
    file_label_->clear();
    count_label_->clear();
    progress_bar_->setValue(0);
    bar_clock_.invalidate();
}

void ProgressPanel::show_file(const QString& name, int percent) {
    if (name != file_name_) {
        file_name_ = name;
        // The label's own width may not be laid out yet when the first file starts.
        const int room = std::max(1, width() - stop_button_->width() - 12);
        file_label_->setText(file_label_->fontMetrics().elidedText(name, Qt::ElideMiddle, room));
        file_label_->setToolTip(name);
    }
    // Twice a second at most, however short the files: each new value is news to every
    // assistive technology, and a screen reader busy with a flood of them drops what counts.
    if (!bar_clock_.isValid() || bar_clock_.elapsed() >= bar_interval_ms) {
        bar_clock_.start();
        progress_bar_->setValue(std::clamp(percent, 0, 100));
    }
}

void ProgressPanel::show_counts(const QString& counts) {
    if (stop_button_->isEnabled()) {
        count_label_->setText(counts);
    }
}

void ProgressPanel::show_stopping() {
    stop_button_->setEnabled(false);
    count_label_->setText(tr("Stopping…"));
}

} // namespace morvane
