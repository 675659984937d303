// SPDX-License-Identifier: GPL-3.0-or-later
// The Devices page's controls and how they follow the chosen device.
#include "settings_dialog/devices_page.h"

#include "settings_dialog/fitted_picture.h"
#include "settings_dialog/spoken_combo_box.h"
#include "skin/skin_pixmap.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QFormLayout>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace morvane {

namespace {

// What a picture codec means to the person choosing: its name, and what it is for.
QString codec_name(const FilmFormat& film) {
    return film.codec == "mpeg4" ? DevicesPage::tr("MPEG-4")
                                 : QString::fromStdString(film.format_name);
}

QString codec_purpose(const FilmFormat& film) {
    if (film.codec == "mpeg4") {
        return DevicesPage::tr("plays on every model");
    }
    if (film.codec == "h264") {
        return DevicesPage::tr("smaller files; iPod 5th generation and later, iPhone, PSP");
    }
    return {};
}

} // namespace

DevicesPage::DevicesPage(const DeviceTable& devices, const AppSettings& settings, QWidget* parent)
    : QWidget(parent), devices_(devices), chosen_index_(settings.device_index),
      chosen_codec_(settings.video_codec) {
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

    // One button per picture codec any row plays, in the table's order; each row shows the
    // ones it plays when it plays more than one. The purpose wraps under its button.
    codec_prompt_ = new QLabel(tr("Picture:"), this);
    codec_buttons_ = new QButtonGroup(this);
    auto* choice = new QVBoxLayout;
    choice->addWidget(device_list_);
    choice->addSpacing(codec_prompt_->fontMetrics().height());
    choice->addWidget(codec_prompt_);
    for (const DeviceProfile& profile : devices_) {
        for (const FilmFormat& film : profile.films) {
            if (codec_choice(film.codec) != nullptr) {
                continue;
            }
            CodecChoice added{film.codec, new QRadioButton(codec_name(film), this),
                              new QLabel(codec_purpose(film), this)};
            added.button->setObjectName(QString::fromStdString("video_codec_" + film.codec));
            added.button->setAccessibleDescription(added.purpose->text());
            added.purpose->setWordWrap(true);
            added.purpose->setIndent(added.button->iconSize().width() * 2);
            codec_buttons_->addButton(added.button);
            choice->addWidget(added.button);
            choice->addWidget(added.purpose);
            connect(added.button, &QRadioButton::toggled, this,
                    [this, codec = film.codec](bool on) {
                        // The row on show: the index the page was given may name none.
                        if (on && device_list_->currentIndex() >= 0) {
                            chosen_codec_ = codec;
                            show_device(device_list_->currentIndex());
                        }
                    });
            codec_choices_.push_back(added);
        }
    }
    if (!codec_choices_.empty()) {
        codec_prompt_->setBuddy(codec_choices_.front().button);
    }
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
    const int shown_index = valid_device_index(settings.device_index, devices_);
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

void DevicesPage::apply_to(AppSettings& settings) const {
    settings.device_index = chosen_index_;
    settings.video_codec = chosen_codec_;
}

const DeviceProfile* DevicesPage::shown_device() const {
    const int index = device_list_->currentIndex();
    return index >= 0 && index < static_cast<int>(devices_.size())
               ? &devices_[static_cast<std::size_t>(index)]
               : nullptr;
}

DevicesPage::CodecChoice* DevicesPage::codec_choice(const std::string& codec) {
    for (CodecChoice& choice : codec_choices_) {
        if (choice.codec == codec) {
            return &choice;
        }
    }
    return nullptr;
}

void DevicesPage::show_device(int index) {
    const DeviceProfile& profile = devices_[static_cast<std::size_t>(index)];
    // A picture that cannot be read leaves the white field, without a message; the @2x art
    // is shown on a screen that has twice the pixels.
    SkinPixmap picture;
    picture.load(profile.image_path);
    picture_->set_pixmap(picture.for_ratio(devicePixelRatioF()));
    // The codec stays chosen while a player that has no choice is shown.
    const bool choice = profile.plays_several_video_codecs();
    codec_prompt_->setVisible(choice);
    for (CodecChoice& shown : codec_choices_) {
        const FilmFormat* film = profile.film_format(shown.codec);
        const bool played = film != nullptr && film->codec == shown.codec;
        shown.button->setVisible(choice && played);
        shown.purpose->setVisible(choice && played);
    }
    if (const FilmFormat* film = profile.film_format(chosen_codec_)) {
        if (CodecChoice* checked = codec_choice(film->codec)) {
            const QSignalBlocker quiet(checked->button);
            checked->button->setChecked(true);
        }
        resolution_->setText(QStringLiteral("%1×%2").arg(QString::number(profile.screen_width),
                                                         QString::number(profile.screen_height)));
        video_format_->setText(QString::fromStdString(film->format_name));
    } else {
        resolution_->setText(tr("Not supported"));
        video_format_->setText(tr("Not supported"));
    }
    audio_format_->setText(QString::fromStdString(profile.audio_format_name));
    emit device_shown(profile, chosen_codec_);
}

} // namespace morvane
