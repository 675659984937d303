// SPDX-License-Identifier: GPL-3.0-or-later
// The desktop's languages from the locale's variables.
#include "platform/locale_environment.h"

#include <algorithm>
#include <cstdlib>
#include <string_view>

namespace morvane {
namespace {

std::string environment_variable(const char* name) {
    const char* value = std::getenv(name);
    return value == nullptr ? std::string() : std::string(value);
}

// "fr" of "fr_FR.UTF-8@euro"; empty when the part is no language code of two or three
// letters ("C", "POSIX", a damaged value).
std::string language_part(std::string_view locale) {
    std::string code(locale.substr(0, locale.find_first_of("_.@")));
    for (char& c : code) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    const bool letters = code.find_first_not_of("abcdefghijklmnopqrstuvwxyz") == std::string::npos;
    return letters && code.size() >= 2 && code.size() <= 3 ? code : std::string();
}

} // namespace

LocaleEnvironment LocaleEnvironment::of_this_process() {
    LocaleEnvironment environment;
    environment.language = environment_variable("LANGUAGE");
    environment.lc_all = environment_variable("LC_ALL");
    environment.lc_messages = environment_variable("LC_MESSAGES");
    environment.lang = environment_variable("LANG");
    return environment;
}

std::vector<std::string> LocaleEnvironment::languages() const {
    const std::string& messages = !lc_all.empty()        ? lc_all
                                  : !lc_messages.empty() ? lc_messages
                                                         : lang;
    const std::string locale_language = language_part(messages);
    if (locale_language.empty()) {
        return {}; // the C locale: programs speak English only because nothing else is set
    }
    std::vector<std::string> found;
    std::string_view list = language;
    while (!list.empty()) {
        const std::size_t colon = list.find(':');
        const std::string code = language_part(list.substr(0, colon));
        list = colon == std::string_view::npos ? std::string_view() : list.substr(colon + 1);
        if (!code.empty() && std::find(found.begin(), found.end(), code) == found.end()) {
            found.push_back(code);
        }
    }
    if (found.empty()) {
        found.push_back(locale_language);
    }
    return found;
}

} // namespace morvane
