// SPDX-License-Identifier: GPL-3.0-or-later
// The Devices page of the settings dialog: the target player, chosen in a list and shown
// with its picture, screen resolution and output formats, and for players that play more
// than one, the picture codec of films. It tells which player and codec it shows, for the
// choices that follow them (FilmsPage).
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
    // Shows the settings' device of devices (the first row when its index names none) and its
    // picture codec (FFmpeg's name); devices must outlive the page.
    DevicesPage(const DeviceTable& devices, const AppSettings& settings, QWidget* parent = nullptr);

    // The row chosen in the list; the index the page was given while nothing was chosen.
    int chosen_device_index() const { return chosen_index_; }
    // The picture codec chosen; the one the page was given while nothing was chosen.
    const std::string& chosen_video_codec() const { return chosen_codec_; }
    // The player on show; nullptr while the table is empty.
    const DeviceProfile* shown_device() const;
    // Writes the device and the codec chosen into settings.
    void apply_to(AppSettings& settings) const;

signals:
    // Another player or picture codec is on show (codec as DeviceProfile::film_format takes
    // it: a player without it shows its first).
    void device_shown(const morvane::DeviceProfile& device, const std::string& codec);

private:
    // The button of one picture codec, with what the codec is for beneath it.
    struct CodecChoice {
        std::string codec;
        QRadioButton* button;
        QLabel* purpose;
    };

    void show_device(int index);
    CodecChoice* codec_choice(const std::string& codec);

    const DeviceTable& devices_;
    int chosen_index_;
    std::string chosen_codec_;
    QComboBox* device_list_;
    // Shown only for players that play several picture codecs.
    QLabel* codec_prompt_;
    QButtonGroup* codec_buttons_;
    std::vector<CodecChoice> codec_choices_;
    FittedPicture* picture_;
    QLabel* resolution_;
    QLabel* video_format_;
    QLabel* audio_format_;
};

} // namespace morvane
