// SPDX-License-Identifier: GPL-3.0-or-later
// The owner's choices about outputs as a batch takes them (ConversionChoices), made from the
// settings both front ends keep, and the reading of a list of languages as the owner types
// it, in the settings dialog or on the command line.
#pragma once

#include "jobs/conversion_choices.h"
#include "settings/app_settings.h"

#include <string>
#include <string_view>
#include <vector>

namespace morvane {

// The settings' choices about films. The languages are the owner's, else
// `desktop_languages` (desktop_languages() of language_codes.h), each brought to its ISO
// 639-2/T code, each once; a code that names no language (or two letters the table does not
// know) is left out.
ConversionChoices conversion_choices(const AppSettings& settings,
                                     const std::vector<std::string>& desktop_languages);

// A list of languages as typed: "fra, en,de".
struct LanguageList {
    std::vector<std::string> codes; // lower case, as typed, in order, each once
    std::string wrong;              // the first entry that is no language code, as typed
};

// Entries are separated by commas, blanks around them and empty ones ignored. An entry is
// wrong unless it is an ISO 639 code of a language: two letters the table of language_codes.h
// knows (a two-letter code it does not know could never match a film's three-letter tags), or
// three letters but "und", "zxx", "mis" and "mul". Nothing is wrong in an empty list.
LanguageList read_language_list(std::string_view text);

} // namespace morvane
