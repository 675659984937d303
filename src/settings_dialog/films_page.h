// SPDX-License-Identifier: GPL-3.0-or-later
// The Films page of the settings dialog: the choices about every film (FilmsGroup), and those
// that depend on the player and codec chosen on the Devices page: the films' quality and,
// where films in that codec can be made for a television, their picture size.
#pragma once

#include "jobs/device_profile.h"
#include "settings/app_settings.h"

#include <QWidget>
#include <string>
#include <vector>

class QComboBox;
class QFormLayout;
class QGroupBox;
class QLabel;
class QRadioButton;

namespace morvane {

class FilmsGroup;

class FilmsPage : public QWidget {
    Q_OBJECT

public:
    // Shows settings; an empty list of languages shows `desktop_languages` (ISO 639 codes).
    FilmsPage(const AppSettings& settings, std::vector<std::string> desktop_languages,
              QWidget* parent = nullptr);

    FilmsGroup* films() const { return films_; }
    // Shows the quality and the picture size as `device` makes films in `codec` (as
    // DeviceProfile::film_format takes it). They stay chosen where they are not shown: the
    // next player that makes such films makes them so.
    void show_device(const DeviceProfile& device, const std::string& codec);
    // Writes the films' choices into settings; the languages only when they can be kept.
    void apply_to(AppSettings& settings) const;

private:
    FilmsGroup* films_;
    QGroupBox* device_box_;
    // Says why the quality and the size are not shown, for a player without films.
    QLabel* no_films_;
    QFormLayout* device_fields_;
    // In the order of AppSettings::Quality; the device's own rate is the first, unset choice.
    QComboBox* quality_;
    QRadioButton* screen_size_;
    QRadioButton* tv_size_;
};

} // namespace morvane
