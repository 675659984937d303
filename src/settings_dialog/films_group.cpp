// SPDX-License-Identifier: GPL-3.0-or-later
// The Films group's controls, filled from the settings and written back on OK.
#include "settings_dialog/films_group.h"

#include "jobs/language_codes.h"
#include "jobs/settings_choices.h"
#include "settings_dialog/spoken_combo_box.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace morvane {

namespace {

// "French, English": the names people read for codes.
QString language_names(const std::vector<std::string>& codes) {
    QStringList names;
    for (const std::string& code : codes) {
        names << QString::fromStdString(language_name(code));
    }
    return names.join(QStringLiteral(", "));
}

QString codes_text(const std::vector<std::string>& codes) {
    QStringList texts;
    for (const std::string& code : codes) {
        texts << QString::fromStdString(code);
    }
    return texts.join(QStringLiteral(", "));
}

} // namespace

FilmsGroup::FilmsGroup(const AppSettings& settings, std::vector<std::string> desktop_languages,
                       QWidget* parent)
    : QGroupBox(tr("Films"), parent), desktop_languages_(std::move(desktop_languages)) {
    languages_ = new QLineEdit(codes_text(settings.preferred_languages), this);
    languages_->setObjectName(QStringLiteral("preferred_languages"));
    languages_->setAccessibleName(tr("Preferred languages"));
    languages_->setToolTip(
        tr("ISO 639 codes, most preferred first, separated by commas: a film keeps the sound "
           "in the first language it has"));
    // Empty, it shows the desktop's languages, which apply then.
    languages_->setPlaceholderText(codes_text(desktop_languages_));
    // What the codes name, or why they cannot be kept, under the field as it is typed.
    languages_note_ = new QLabel(this);
    languages_note_->setObjectName(QStringLiteral("preferred_languages_note"));
    languages_note_->setWordWrap(true);
    languages_note_->setTextFormat(Qt::PlainText);

    subtitles_ = new SpokenComboBox(this);
    subtitles_->setObjectName(QStringLiteral("subtitles"));
    subtitles_->setAccessibleName(tr("Subtitles"));
    // In the order of AppSettings::Subtitles.
    subtitles_->addItem(tr("Off"));
    subtitles_->addItem(tr("When the sound is not in my language"));
    subtitles_->addItem(tr("Always"));
    subtitles_->setCurrentIndex(static_cast<int>(settings.subtitles));

    crop_ = new QCheckBox(tr("Cut away black bars"), this);
    crop_->setObjectName(QStringLiteral("crop"));
    crop_->setToolTip(tr("Bars made part of a film's picture are cut off before it is fitted "
                         "to the screen"));
    crop_->setAccessibleDescription(crop_->toolTip());
    crop_->setChecked(settings.crop != 0);
    fill_ = new QCheckBox(tr("Fill the screen"), this);
    fill_->setObjectName(QStringLiteral("fill"));
    fill_->setToolTip(tr("The picture's sides are cut instead of black borders added"));
    fill_->setAccessibleDescription(fill_->toolTip());
    fill_->setChecked(settings.fill != 0);

    auto* fields = new QFormLayout;
    auto* languages_label = new QLabel(tr("Preferred &languages:"), this);
    languages_label->setBuddy(languages_);
    auto* language_column = new QVBoxLayout;
    language_column->setSpacing(0);
    language_column->addWidget(languages_);
    language_column->addWidget(languages_note_);
    fields->addRow(languages_label, language_column);
    auto* subtitles_label = new QLabel(tr("S&ubtitles:"), this);
    subtitles_label->setBuddy(subtitles_);
    fields->addRow(subtitles_label, subtitles_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addWidget(crop_);
    layout->addWidget(fill_);

    show_languages();
    connect(languages_, &QLineEdit::textChanged, this, &FilmsGroup::show_languages);
}

QString FilmsGroup::languages_problem() const {
    const LanguageList list = read_language_list(languages_->text().toStdString());
    if (list.wrong.empty()) {
        return {};
    }
    return tr("\"%1\" is not a language code: write ISO 639 codes separated by commas, such "
              "as fra, eng.")
        .arg(QString::fromStdString(list.wrong));
}

void FilmsGroup::show_languages() {
    QString note = languages_problem();
    if (note.isEmpty()) {
        const LanguageList list = read_language_list(languages_->text().toStdString());
        if (!list.codes.empty()) {
            note = language_names(list.codes);
        } else if (!desktop_languages_.empty()) {
            note = tr("The desktop's: %1").arg(language_names(desktop_languages_));
        } else {
            note = tr("None: each film keeps its own sound");
        }
    }
    languages_note_->setText(note);
    // A label beside a field is not read with it: a screen reader says the note with it.
    languages_->setAccessibleDescription(note);
}

void FilmsGroup::apply_to(AppSettings& settings) const {
    if (const LanguageList list = read_language_list(languages_->text().toStdString());
        list.wrong.empty()) {
        settings.preferred_languages = list.codes;
    }
    settings.subtitles = static_cast<AppSettings::Subtitles>(subtitles_->currentIndex());
    settings.crop = crop_->isChecked() ? 1 : 0;
    settings.fill = fill_->isChecked() ? 1 : 0;
}

} // namespace morvane
