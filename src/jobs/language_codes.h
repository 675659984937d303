// SPDX-License-Identifier: GPL-3.0-or-later
// Language codes as owners and containers write them, brought to one form so that they
// compare: ISO 639-1 ("fr"), 639-2/B ("fre", what Matroska and many broadcasts write) and
// 639-2/T ("fra", what MP4 writes) all name French. Also the desktop's own languages, the
// preference a front end offers when the owner chose none.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace morvane {

// The ISO 639-2/T code of `code` (any case; "fr", "fre" and "fra" give "fra"); a code the table
// does not know as itself, in lower case. Empty for none: an empty code, "und" (undetermined),
// "zxx" (no linguistic content), "mis", "mul", or anything not two or three letters.
std::string normalised_language(std::string_view code);

// The language's English name ("French") for the lines people read; the normalised code
// itself when the table has no name for it, empty for none.
std::string language_name(std::string_view code);

// The desktop's languages, most preferred first, as normalised codes: LANGUAGE's list
// ("fr_FR:en"), else the first of LC_ALL, LC_MESSAGES and LANG that is set ("fr_FR.UTF-8"
// gives "fra"). The C and POSIX locales name no language. `variable` reads the environment
// (std::getenv for this process); empty when nothing names a language.
std::vector<std::string> desktop_languages(const std::function<const char*(const char*)>& variable);

} // namespace morvane
