// The Devices page's controls and how they follow the chosen device.
#include "settings/device_page.h"

#include "jobs/string_table.h"
#include "skin/control_id.h"
#include "skin/img_ctrl.h"
#include "skin/separator.h"

#include <QComboBox>
#include <QLabel>
#include <QSignalBlocker>

namespace morvane {

CDevicePage::CDevicePage(QWidget* parent)
    : SheetPage(QStringLiteral("Devices"), dialog_font(QStringLiteral("Microsoft Sans Serif"), 10),
                QSize(319, 247), parent) {
    auto* prompt = new QLabel(QStringLiteral("Please select a device:"), this);
    place(prompt, 19, 10, 192, 8);

    device_list_ = new QComboBox(this);
    device_list_->setMaxVisibleItems(device_count);
    // The template's height is that of the dropped-down list; the closed box is one line.
    const QRect list_rect = units().rect(19, 35, 120, 207);
    device_list_->setGeometry(list_rect.x(), list_rect.y(), list_rect.width(),
                              device_list_->sizeHint().height());

    separator_ = new CSeparator(QStringLiteral("1"), this);
    place(separator_, 147, 35, 14, 206);
    picture_ = new CImgCtrl(this);
    place(picture_, 166, 35, 142, 137);

    place(new QLabel(QStringLiteral("Screen Resolution:"), this), 166, 188, 78, 8);
    place(new QLabel(QStringLiteral("Video Format:"), this), 166, 207, 57, 8);
    place(new QLabel(QStringLiteral("Audio Format:"), this), 166, 224, 57, 8);
    // Placeholders until the page opens.
    resolution_ = new QLabel(QStringLiteral("240*320"), this);
    place(resolution_, 247, 188, 50, 8);
    video_format_ = new QLabel(QStringLiteral("MPEG4"), this);
    place(video_format_, 247, 207, 60, 8);
    audio_format_ = new QLabel(QStringLiteral("MP3"), this);
    place(audio_format_, 247, 224, 15, 8);

    SetControlId(device_list_, device_list_id);
    SetControlId(separator_, separator_id);
    SetControlId(picture_, picture_id);
    SetControlId(resolution_, resolution_id);
    SetControlId(video_format_, video_format_id);
    SetControlId(audio_format_, audio_format_id);

    connect(device_list_, &QComboBox::currentIndexChanged, this, &CDevicePage::OnSelectionChange);
}

void CDevicePage::OnInitDialog() {
    if (settings_ == nullptr || device_table_ == nullptr) {
        return;
    }
    // A stored index that names no row shows the first, as the conversion window does.
    pending_device_index_ = valid_device_index(settings_->device_index, *device_table_);
    {
        const QSignalBlocker quiet(device_list_);
        device_list_->clear();
        for (const DeviceProfile& profile : *device_table_) {
            device_list_->addItem(QString::fromStdString(profile.display_name));
        }
        device_list_->setCurrentIndex(pending_device_index_);
    }
    show_device_picture();
    show_device_details();
}

void CDevicePage::OnApply() {
    if (settings_ != nullptr) {
        settings_->device_index = pending_device_index_;
    }
}

void CDevicePage::OnSelectionChange(int index) {
    if (index < 0) {
        return;
    }
    pending_device_index_ = index;
    show_device_picture();
    show_device_details();
}

const DeviceProfile* CDevicePage::pending_profile() const {
    if (device_table_ == nullptr || pending_device_index_ < 0 ||
        pending_device_index_ >= static_cast<int>(device_table_->size())) {
        return nullptr;
    }
    return &(*device_table_)[static_cast<std::size_t>(pending_device_index_)];
}

void CDevicePage::show_device_picture() {
    const DeviceProfile* profile = pending_profile();
    // A picture that cannot be read leaves the white field, without a message.
    picture_->LoadPicture(profile != nullptr ? profile->image_path : std::string());
}

void CDevicePage::show_device_details() {
    const DeviceProfile* profile = pending_profile();
    if (profile == nullptr) {
        return;
    }
    const QString not_supported = QString::fromUtf8(strings::not_supported);
    if (profile->media_kinds & KIND_VIDEO) {
        resolution_->setText(
            QString::asprintf("%d*%d", profile->screen_width, profile->screen_height));
        video_format_->setText(QString::fromStdString(profile->video_format_name));
    } else {
        resolution_->setText(not_supported);
        video_format_->setText(not_supported);
    }
    audio_format_->setText(QString::fromStdString(profile->audio_format_name));
}

} // namespace morvane
