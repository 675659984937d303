// SPDX-License-Identifier: GPL-3.0-or-later
// The Devices page's controls and how they follow the chosen device.
#include "settings_dialog/devices_page.h"

#include "settings_dialog/fitted_picture.h"
#include "settings_dialog/spoken_combo_box.h"
#include "skin/skin_pixmap.h"

#include <QComboBox>
#include <QFormLayout>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace morvane {

DevicesPage::DevicesPage(const DeviceTable& devices, int device_index, QWidget* parent)
    : QWidget(parent), devices_(devices), chosen_index_(device_index) {
    auto* prompt = new QLabel(tr("Please select a device:"), this);
    device_list_ = new SpokenComboBox(this);
    device_list_->setObjectName(QStringLiteral("device_list"));
    device_list_->setMaxVisibleItems(static_cast<int>(devices_.size()));
    prompt->setBuddy(device_list_);
    for (const DeviceProfile& profile : devices_) {
        device_list_->addItem(QString::fromStdString(profile.display_name));
    }

    auto* separator = new QFrame(this);
    separator->setFrameShape(QFrame::VLine);
    separator->setFrameShadow(QFrame::Sunken);

    // The pictures are photographs on white, 220 by 236 pixels: the field keeps that room
    // for every device, and on a small screen it shrinks first.
    picture_ = new FittedPicture(Qt::white, QSize(220, 236), this);
    picture_->setObjectName(QStringLiteral("picture"));

    resolution_ = new QLabel(this);
    resolution_->setObjectName(QStringLiteral("resolution"));
    video_format_ = new QLabel(this);
    video_format_->setObjectName(QStringLiteral("video_format"));
    audio_format_ = new QLabel(this);
    audio_format_->setObjectName(QStringLiteral("audio_format"));
    auto* details = new QFormLayout;
    details->addRow(tr("Screen Resolution:"), resolution_);
    details->addRow(tr("Video Format:"), video_format_);
    details->addRow(tr("Audio Format:"), audio_format_);

    auto* choice = new QVBoxLayout;
    choice->addWidget(device_list_);
    choice->addStretch(1);
    auto* shown = new QVBoxLayout;
    shown->addWidget(picture_);
    shown->addLayout(details);
    shown->addStretch(1);
    auto* columns = new QHBoxLayout;
    columns->addLayout(choice, 1);
    columns->addWidget(separator);
    columns->addLayout(shown);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(prompt);
    layout->addLayout(columns, 1);

    // A stored index that names no row shows the first, as the conversion window does.
    const int shown_index = valid_device_index(device_index, devices_);
    if (shown_index >= 0 && shown_index < device_list_->count()) {
        device_list_->setCurrentIndex(shown_index);
        show_device(shown_index);
    }
    connect(device_list_, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (index >= 0) {
            chosen_index_ = index;
            show_device(index);
        }
    });
}

void DevicesPage::show_device(int index) {
    const DeviceProfile& profile = devices_[static_cast<std::size_t>(index)];
    // A picture that cannot be read leaves the white field, without a message; the @2x art
    // is shown on a screen that has twice the pixels.
    SkinPixmap picture;
    picture.load(profile.image_path);
    picture_->set_pixmap(picture.for_ratio(devicePixelRatioF()));
    if (profile.plays_video) {
        resolution_->setText(QStringLiteral("%1×%2").arg(QString::number(profile.screen_width),
                                                         QString::number(profile.screen_height)));
        video_format_->setText(QString::fromStdString(profile.video_format_name));
    } else {
        resolution_->setText(tr("Not supported"));
        video_format_->setText(tr("Not supported"));
    }
    audio_format_->setText(QString::fromStdString(profile.audio_format_name));
}

} // namespace morvane
