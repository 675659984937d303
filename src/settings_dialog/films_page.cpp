// SPDX-License-Identifier: GPL-3.0-or-later
// The Films page's controls, and how the quality and the picture size follow the player.
#include "settings_dialog/films_page.h"

#include "settings_dialog/films_group.h"
#include "settings_dialog/spoken_combo_box.h"

#include <QButtonGroup>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>
#include <QVBoxLayout>

namespace morvane {

namespace {

QString frame_text(const FilmFrame& frame) {
    return QStringLiteral("%1×%2").arg(QString::number(frame.width), QString::number(frame.height));
}

} // namespace

FilmsPage::FilmsPage(const AppSettings& settings, std::vector<std::string> desktop_languages,
                     QWidget* parent)
    : QWidget(parent) {
    // Made in the order Tab visits them.
    films_ = new FilmsGroup(settings, std::move(desktop_languages), this);
    // The page is titled Films already; the group says its choices are the same everywhere.
    films_->setTitle(tr("On every player"));

    // Titled with the player on show, as these choices are for its films.
    device_box_ = new QGroupBox(this);
    device_box_->setObjectName(QStringLiteral("device_films"));
    no_films_ = new QLabel(device_box_);
    no_films_->setObjectName(QStringLiteral("no_films_note"));
    no_films_->setWordWrap(true);
    no_films_->setTextFormat(Qt::PlainText);

    // One line for five steps; the device's own rate first, as nothing chosen.
    quality_ = new SpokenComboBox(device_box_);
    quality_->setObjectName(QStringLiteral("video_quality"));
    quality_->addItem(tr("The device's own"));
    quality_->addItem(tr("Highest"));
    quality_->addItem(tr("Higher"));
    quality_->addItem(tr("Normal"));
    quality_->addItem(tr("Lower"));
    quality_->setCurrentIndex(static_cast<int>(settings.video_quality));
    quality_->setToolTip(tr("The device's own: the bit rate the device's films are made at"));
    quality_->setAccessibleDescription(quality_->toolTip());

    screen_size_ = new QRadioButton(device_box_);
    screen_size_->setObjectName(QStringLiteral("picture_size_screen"));
    tv_size_ = new QRadioButton(device_box_);
    tv_size_->setObjectName(QStringLiteral("picture_size_tv"));
    auto* sizes = new QButtonGroup(this);
    sizes->addButton(screen_size_);
    sizes->addButton(tv_size_);
    (settings.picture_size == AppSettings::PictureSize::tv ? tv_size_ : screen_size_)
        ->setChecked(true);

    auto* quality_label = new QLabel(tr("Video &quality:"), device_box_);
    quality_label->setBuddy(quality_);
    auto* size_label = new QLabel(tr("Picture si&ze:"), device_box_);
    size_label->setBuddy(screen_size_);
    // One column: the arrow keys go from one size to the other.
    auto* size_column = new QVBoxLayout;
    size_column->setSpacing(0);
    size_column->addWidget(screen_size_);
    size_column->addWidget(tv_size_);
    device_fields_ = new QFormLayout;
    device_fields_->addRow(quality_label, quality_);
    device_fields_->addRow(size_label, size_column);
    auto* device_layout = new QVBoxLayout(device_box_);
    device_layout->addWidget(no_films_);
    device_layout->addLayout(device_fields_);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(films_);
    layout->addWidget(device_box_);
    layout->addStretch(1);
}

void FilmsPage::show_device(const DeviceProfile& device, const std::string& codec) {
    const QString name = QString::fromStdString(device.display_name);
    device_box_->setTitle(tr("On the %1").arg(name));
    const FilmFormat* film = device.plays_video ? device.film_format(codec) : nullptr;
    no_films_->setText(tr("The %1 plays no films.").arg(name));
    no_films_->setVisible(film == nullptr);
    device_fields_->setRowVisible(0, film != nullptr);
    const bool tv = film != nullptr && device.plays_tv_size(codec);
    device_fields_->setRowVisible(1, tv);
    if (tv) {
        screen_size_->setText(
            tr("The player's screen (%1)").arg(frame_text(film->frame(PictureSize::screen))));
        tv_size_->setText(
            tr("For a television (%1)").arg(frame_text(film->frame(PictureSize::tv))));
    }
}

void FilmsPage::apply_to(AppSettings& settings) const {
    films_->apply_to(settings);
    settings.video_quality = static_cast<AppSettings::Quality>(quality_->currentIndex());
    settings.picture_size =
        tv_size_->isChecked() ? AppSettings::PictureSize::tv : AppSettings::PictureSize::screen;
}

} // namespace morvane
