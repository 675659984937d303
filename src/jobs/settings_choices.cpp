// SPDX-License-Identifier: GPL-3.0-or-later
// From the settings' words to the choices a conversion plan reads.
#include "jobs/settings_choices.h"

#include "jobs/language_codes.h"

#include <algorithm>

namespace morvane {
namespace {

std::string_view without_blanks(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) {
        text.remove_suffix(1);
    }
    return text;
}

void add_once(std::vector<std::string>& codes, std::string code) {
    if (!code.empty() && std::find(codes.begin(), codes.end(), code) == codes.end()) {
        codes.push_back(std::move(code));
    }
}

SubtitleChoice subtitle_choice(AppSettings::Subtitles subtitles) {
    switch (subtitles) {
    case AppSettings::Subtitles::off:
        return SubtitleChoice::off;
    case AppSettings::Subtitles::always:
        return SubtitleChoice::always;
    case AppSettings::Subtitles::foreign:
        break;
    }
    return SubtitleChoice::foreign;
}

std::optional<VideoQuality> video_quality(AppSettings::Quality quality) {
    switch (quality) {
    case AppSettings::Quality::highest:
        return VideoQuality::highest;
    case AppSettings::Quality::higher:
        return VideoQuality::higher;
    case AppSettings::Quality::normal:
        return VideoQuality::normal;
    case AppSettings::Quality::lower:
        return VideoQuality::lower;
    case AppSettings::Quality::device:
        break;
    }
    return std::nullopt;
}

} // namespace

ConversionChoices conversion_choices(const AppSettings& settings,
                                     const std::vector<std::string>& desktop_languages) {
    ConversionChoices choices;
    choices.video_codec = settings.video_codec;
    const std::vector<std::string>& languages =
        settings.preferred_languages.empty() ? desktop_languages : settings.preferred_languages;
    for (const std::string& language : languages) {
        // A code the table does not know stays as it is: two letters never match a film's tags.
        if (std::string code = normalised_language(language); code.size() == 3) {
            add_once(choices.languages, std::move(code));
        }
    }
    choices.subtitles = subtitle_choice(settings.subtitles);
    choices.crop = settings.crop != 0;
    choices.fill = settings.fill != 0;
    choices.quality = video_quality(settings.video_quality);
    choices.picture_size = settings.picture_size == AppSettings::PictureSize::tv
                               ? PictureSize::tv
                               : PictureSize::screen;
    return choices;
}

LanguageList read_language_list(std::string_view text) {
    LanguageList list;
    while (!text.empty()) {
        const std::size_t comma = text.find(',');
        const std::string_view entry = without_blanks(text.substr(0, comma));
        text = comma == std::string_view::npos ? std::string_view() : text.substr(comma + 1);
        if (entry.empty()) {
            continue;
        }
        const std::string code = normalised_language(entry);
        // The table keeps a code it does not know as it is: two letters then stayed two.
        if (code.size() != 3) {
            list.wrong = std::string(entry);
            list.codes.clear();
            return list;
        }
        std::string typed(entry);
        std::transform(typed.begin(), typed.end(), typed.begin(), [](char c) {
            return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
        });
        add_once(list.codes, std::move(typed));
    }
    return list;
}

} // namespace morvane
