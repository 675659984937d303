// SPDX-License-Identifier: GPL-3.0-or-later
// The General page's controls, filled from the settings and written back on OK.
#include "settings_dialog/general_page.h"

#include "settings_dialog/failure_message.h"

#include <QCheckBox>
#include <QFile>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QVBoxLayout>
#include <algorithm>
#include <filesystem>
#include <system_error>

namespace morvane {

namespace {

QString display_path(const std::string& path) {
    return QFile::decodeName(QByteArray::fromStdString(path));
}

} // namespace

GeneralPage::GeneralPage(const AppSettings& settings, DesktopShell& shell, QWidget* parent)
    : QWidget(parent), shell_(shell), stored_folder_(settings.output_folder) {
    auto* output_box = new QGroupBox(tr("Output Folder"), this);
    folder_ = new QLineEdit(display_path(settings.output_folder), output_box);
    folder_->setReadOnly(true);
    folder_->setObjectName(QStringLiteral("folder"));
    folder_->setAccessibleName(tr("Output folder"));
    folder_->setToolTip(folder_->text());
    // Room for a usual path where the screen has it; on a small one the field gives way
    // first (its tooltip and Open show the whole path).
    int room = folder_->fontMetrics().averageCharWidth() * 40;
    if (const QScreen* shown_on = screen()) {
        room = std::min(room, shown_on->availableGeometry().width() / 4);
    }
    folder_->setMinimumWidth(room);
    browse_ = new QPushButton(tr("Browse..."), output_box);
    browse_->setObjectName(QStringLiteral("browse"));
    open_ = new QPushButton(tr("Open"), output_box);
    open_->setObjectName(QStringLiteral("open"));
    keep_folders_ = new QCheckBox(tr("Keep the folders' layout"), output_box);
    keep_folders_->setObjectName(QStringLiteral("keep_folders"));
    keep_folders_->setToolTip(
        tr("The files of a dropped folder go into subfolders as they lay in it"));
    keep_folders_->setChecked(settings.keep_folders != 0);
    auto* folder_row = new QHBoxLayout;
    folder_row->addWidget(folder_, 1);
    folder_row->addWidget(browse_);
    folder_row->addWidget(open_);
    auto* output = new QVBoxLayout(output_box);
    output->addLayout(folder_row);
    output->addWidget(keep_folders_);

    auto* others_box = new QGroupBox(tr("Others"), this);
    shutdown_ = new QCheckBox(tr("Shut down after conversion"), others_box);
    shutdown_->setObjectName(QStringLiteral("shutdown"));
    shutdown_->setChecked(settings.shutdown_after_batch != 0);
    open_output_ = new QCheckBox(tr("Open the output folder after conversion"), others_box);
    open_output_->setObjectName(QStringLiteral("open_output"));
    open_output_->setChecked(settings.open_output_after_batch != 0);
    send_to_player_ = new QCheckBox(tr("Send converted files to a connected player"), others_box);
    send_to_player_->setObjectName(QStringLiteral("send_to_player"));
    send_to_player_->setChecked(settings.send_to_player != 0);
    stay_on_top_ = new QCheckBox(tr("Keep on top of other windows"), others_box);
    stay_on_top_->setObjectName(QStringLiteral("stay_on_top"));
    stay_on_top_->setChecked(settings.stay_on_top != 0);
    auto* others = new QVBoxLayout(others_box);
    others->addWidget(shutdown_);
    others->addWidget(open_output_);
    // Said here, once, rather than as a message after every batch.
    if (const DesktopShell::Failure why = shell.cannot_open_folders()) {
        auto* note = new QLabel(
            tr("Folders cannot be opened on this computer: %1.").arg(QString::fromStdString(*why)),
            others_box);
        note->setObjectName(QStringLiteral("open_output_note"));
        note->setWordWrap(true);
        note->setTextFormat(Qt::PlainText);
        note->setIndent(open_output_->style()->pixelMetric(QStyle::PM_IndicatorWidth) +
                        open_output_->style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing));
        others->addWidget(note);
        // A label beside a check box is not read with it: a screen reader says the note with
        // the setting it is about.
        open_output_->setAccessibleDescription(note->text());
        open_->setEnabled(false);
        open_->setToolTip(note->text());
    }
    others->addWidget(send_to_player_);
    others->addWidget(stay_on_top_);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(output_box);
    layout->addWidget(others_box);
    layout->addStretch(1);

    connect(browse_, &QPushButton::clicked, this, &GeneralPage::browse);
    connect(open_, &QPushButton::clicked, this, &GeneralPage::open_folder);
}

void GeneralPage::apply_to(AppSettings& settings) const {
    settings.shutdown_after_batch = shutdown_->isChecked() ? 1 : 0;
    settings.open_output_after_batch = open_output_->isChecked() ? 1 : 0;
    settings.send_to_player = send_to_player_->isChecked() ? 1 : 0;
    settings.stay_on_top = stay_on_top_->isChecked() ? 1 : 0;
    settings.keep_folders = keep_folders_->isChecked() ? 1 : 0;
    if (chosen_folder_) {
        settings.output_folder = *chosen_folder_;
    }
}

void GeneralPage::browse() {
    const std::optional<std::string> chosen = folder_picker_ ? folder_picker_(this) : std::nullopt;
    if (!chosen || chosen->empty()) {
        return;
    }
    std::string folder = *chosen;
    if (folder.back() != '/') {
        folder += '/';
    }
    folder_->setText(display_path(folder));
    folder_->setToolTip(folder_->text());
    chosen_folder_ = std::move(folder);
}

void GeneralPage::open_folder() {
    const DesktopShell::Failure failure = shell_.open_folder(stored_folder_);
    if (!failure) {
        return;
    }
    std::error_code error;
    const QString why = !std::filesystem::exists(stored_folder_, error)
                            ? tr("It does not exist yet: the first conversion makes it.")
                        : failure->empty() ? tr("Unknown error.")
                                           : QString::fromStdString(*failure);
    show_failure(this,
                 tr("Can't open the folder %1:\n\n%2").arg(display_path(stored_folder_), why));
}

} // namespace morvane
