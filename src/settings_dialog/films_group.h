// SPDX-License-Identifier: GPL-3.0-or-later
// The settings dialog's group of choices about every film, whatever the device: the
// languages the owner understands, when subtitles are shown, cutting away black bars and
// filling the screen.
#pragma once

#include "settings/app_settings.h"

#include <QGroupBox>
#include <string>
#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;

namespace morvane {

class FilmsGroup : public QGroupBox {
    Q_OBJECT

public:
    // Shows settings; an empty list of languages shows `desktop_languages` (ISO 639 codes)
    // as what applies.
    FilmsGroup(const AppSettings& settings, std::vector<std::string> desktop_languages,
               QWidget* parent = nullptr);

    // Why the languages typed cannot be kept (an entry that is no language code); empty when
    // they can.
    QString languages_problem() const;
    QLineEdit* languages_field() const { return languages_; }
    // Writes what the group shows into settings; the languages only when they can be kept.
    void apply_to(AppSettings& settings) const;

private:
    void show_languages();

    std::vector<std::string> desktop_languages_;
    QLineEdit* languages_;
    QLabel* languages_note_;
    QComboBox* subtitles_;
    QCheckBox* crop_;
    QCheckBox* fill_;
};

} // namespace morvane
