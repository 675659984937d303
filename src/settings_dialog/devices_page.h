// SPDX-License-Identifier: GPL-3.0-or-later
// The Devices page of the settings dialog: the target player, chosen in a list and shown
// with its picture, screen resolution and output formats.
#pragma once

#include "jobs/device_table.h"

#include <QWidget>

class QComboBox;
class QLabel;

namespace morvane {

class FittedPicture;

class DevicesPage : public QWidget {
    Q_OBJECT

public:
    // Shows device_index of devices (the first row when it names none); devices must outlive
    // the page.
    DevicesPage(const DeviceTable& devices, int device_index, QWidget* parent = nullptr);

    // The row chosen in the list; the index the page was given while nothing was chosen.
    int chosen_device_index() const { return chosen_index_; }

private:
    void show_device(int index);

    const DeviceTable& devices_;
    int chosen_index_;
    QComboBox* device_list_;
    FittedPicture* picture_;
    QLabel* resolution_;
    QLabel* video_format_;
    QLabel* audio_format_;
};

} // namespace morvane
