// SPDX-License-Identifier: GPL-3.0-or-later
// The table of common languages' ISO 639 codes and the rules that read a locale's name.
#include "jobs/language_codes.h"

#include <algorithm>
#include <cctype>

namespace morvane {

namespace {

struct Language {
    std::string_view part1;         // ISO 639-1
    std::string_view bibliographic; // ISO 639-2/B
    std::string_view terminology;   // ISO 639-2/T: the form codes are brought to
    std::string_view name;
};

// The languages films are commonly dubbed or broadcast in; B and T differ for twenty of them.
constexpr Language languages[] = {
    {"af", "afr", "afr", "Afrikaans"},  {"ar", "ara", "ara", "Arabic"},
    {"be", "bel", "bel", "Belarusian"}, {"bg", "bul", "bul", "Bulgarian"},
    {"bn", "ben", "ben", "Bengali"},    {"bo", "tib", "bod", "Tibetan"},
    {"bs", "bos", "bos", "Bosnian"},    {"ca", "cat", "cat", "Catalan"},
    {"cs", "cze", "ces", "Czech"},      {"cy", "wel", "cym", "Welsh"},
    {"da", "dan", "dan", "Danish"},     {"de", "ger", "deu", "German"},
    {"el", "gre", "ell", "Greek"},      {"en", "eng", "eng", "English"},
    {"es", "spa", "spa", "Spanish"},    {"et", "est", "est", "Estonian"},
    {"eu", "baq", "eus", "Basque"},     {"fa", "per", "fas", "Persian"},
    {"fi", "fin", "fin", "Finnish"},    {"fr", "fre", "fra", "French"},
    {"ga", "gle", "gle", "Irish"},      {"gl", "glg", "glg", "Galician"},
    {"he", "heb", "heb", "Hebrew"},     {"hi", "hin", "hin", "Hindi"},
    {"hr", "hrv", "hrv", "Croatian"},   {"hu", "hun", "hun", "Hungarian"},
    {"hy", "arm", "hye", "Armenian"},   {"id", "ind", "ind", "Indonesian"},
    {"is", "ice", "isl", "Icelandic"},  {"it", "ita", "ita", "Italian"},
    {"ja", "jpn", "jpn", "Japanese"},   {"ka", "geo", "kat", "Georgian"},
    {"kk", "kaz", "kaz", "Kazakh"},     {"ko", "kor", "kor", "Korean"},
    {"la", "lat", "lat", "Latin"},      {"lt", "lit", "lit", "Lithuanian"},
    {"lv", "lav", "lav", "Latvian"},    {"mi", "mao", "mri", "Maori"},
    {"mk", "mac", "mkd", "Macedonian"}, {"ms", "may", "msa", "Malay"},
    {"my", "bur", "mya", "Burmese"},    {"nb", "nob", "nob", "Norwegian Bokmål"},
    {"nl", "dut", "nld", "Dutch"},      {"nn", "nno", "nno", "Norwegian Nynorsk"},
    {"no", "nor", "nor", "Norwegian"},  {"pl", "pol", "pol", "Polish"},
    {"pt", "por", "por", "Portuguese"}, {"ro", "rum", "ron", "Romanian"},
    {"ru", "rus", "rus", "Russian"},    {"sk", "slo", "slk", "Slovak"},
    {"sl", "slv", "slv", "Slovenian"},  {"sq", "alb", "sqi", "Albanian"},
    {"sr", "srp", "srp", "Serbian"},    {"sv", "swe", "swe", "Swedish"},
    {"ta", "tam", "tam", "Tamil"},      {"th", "tha", "tha", "Thai"},
    {"tr", "tur", "tur", "Turkish"},    {"uk", "ukr", "ukr", "Ukrainian"},
    {"vi", "vie", "vie", "Vietnamese"}, {"zh", "chi", "zho", "Chinese"},
};

const Language* find_language(std::string_view code) {
    for (const Language& language : languages) {
        if (code == language.part1 || code == language.bibliographic ||
            code == language.terminology) {
            return &language;
        }
    }
    return nullptr;
}

// The language of a locale's name: "fr_FR.UTF-8@euro" gives "fr"; the C and POSIX locales
// none.
std::string_view locale_language(std::string_view locale) {
    const std::size_t end = locale.find_first_of("_.@");
    const std::string_view language = locale.substr(0, end);
    return language == "C" || language == "POSIX" ? std::string_view() : language;
}

} // namespace

std::string normalised_language(std::string_view code) {
    if (code.size() < 2 || code.size() > 3) {
        return {};
    }
    std::string lower;
    for (const char letter : code) {
        if (std::isalpha(static_cast<unsigned char>(letter)) == 0) {
            return {};
        }
        lower += static_cast<char>(std::tolower(static_cast<unsigned char>(letter)));
    }
    for (const std::string_view none : {"und", "zxx", "mis", "mul"}) {
        if (lower == none) {
            return {};
        }
    }
    const Language* language = find_language(lower);
    return language != nullptr ? std::string(language->terminology) : lower;
}

std::string language_name(std::string_view code) {
    const std::string normalised = normalised_language(code);
    const Language* language = find_language(normalised);
    return language != nullptr ? std::string(language->name) : normalised;
}

std::vector<std::string>
desktop_languages(const std::function<const char*(const char*)>& variable) {
    std::vector<std::string> found;
    const auto add = [&found](std::string_view locale) {
        const std::string code = normalised_language(locale_language(locale));
        if (!code.empty() && std::find(found.begin(), found.end(), code) == found.end()) {
            found.push_back(code);
        }
    };
    // LANGUAGE lists several, in order (gettext's own precedence over the others).
    if (const char* list = variable("LANGUAGE"); list != nullptr) {
        std::string_view rest = list;
        while (!rest.empty()) {
            const std::size_t colon = rest.find(':');
            add(rest.substr(0, colon));
            rest = colon == std::string_view::npos ? std::string_view() : rest.substr(colon + 1);
        }
    }
    if (found.empty()) {
        for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
            const char* value = variable(name);
            if (value != nullptr && value[0] != '\0') {
                add(value); // the first that is set decides, as the C library reads them
                break;
            }
        }
    }
    return found;
}

} // namespace morvane
