// SPDX-License-Identifier: GPL-3.0-or-later
// The Devices page of the settings dialog: the target player, chosen in a list and shown
// with its picture, screen resolution and output formats; for players that play more than
// one, the picture codec of films; for players of films, their quality and, where the
// player makes them, films for a television.
#pragma once

#include "jobs/device_table.h"
#include "settings/app_settings.h"

#include <QWidget>
#include <string>
#include <vector>

class QButtonGroup;
class QComboBox;
class QLabel;
class QRadioButton;

namespace morvane {

class FittedPicture;

class DevicesPage : public QWidget {
    Q_OBJECT

public:
    // Shows the settings' device of devices (the first row when its index names none), its
    // picture codec (FFmpeg's name), the films' quality and picture size; devices must outlive
    // the page.
    DevicesPage(const DeviceTable& devices, const AppSettings& settings, QWidget* parent = nullptr);

    // The row chosen in the list; the index the page was given while nothing was chosen.
    int chosen_device_index() const { return chosen_index_; }
    // The picture codec chosen; the one the page was given while nothing was chosen.
    const std::string& chosen_video_codec() const { return chosen_codec_; }
    // Writes the device, the codec, the quality and the picture size chosen into settings.
    void apply_to(AppSettings& settings) const;

private:
    // The button of one picture codec, with what the codec is for beneath it.
    struct CodecChoice {
        std::string codec;
        QRadioButton* button;
        QLabel* purpose;
    };

    void show_device(int index);
    CodecChoice* codec_choice(const std::string& codec);

    // A button of a choice that is one of a few values, as AppSettings has them.
    template <typename Value>
    struct ValueChoice {
        Value value;
        QRadioButton* button;
    };

    const DeviceTable& devices_;
    int chosen_index_;
    std::string chosen_codec_;
    AppSettings::Quality chosen_quality_;
    AppSettings::PictureSize chosen_size_;
    QComboBox* device_list_;
    // Shown only for players that play several picture codecs.
    QLabel* codec_prompt_;
    QButtonGroup* codec_buttons_;
    std::vector<CodecChoice> codec_choices_;
    // Shown for players of films.
    QLabel* quality_prompt_;
    std::vector<ValueChoice<AppSettings::Quality>> quality_choices_;
    // Shown where films in the chosen codec can be made for a television.
    QLabel* size_prompt_;
    std::vector<ValueChoice<AppSettings::PictureSize>> size_choices_;
    FittedPicture* picture_;
    QLabel* resolution_;
    QLabel* video_format_;
    QLabel* audio_format_;
};

} // namespace morvane
