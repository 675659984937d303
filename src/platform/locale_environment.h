// SPDX-License-Identifier: GPL-3.0-or-later
// The languages the desktop speaks, as the locale's variables name them. The process
// environment is read in one place, of_this_process(), so tests describe any environment by
// filling the fields themselves.
#pragma once

#include <string>
#include <vector>

namespace morvane {

struct LocaleEnvironment {
    std::string language;    // $LANGUAGE: "fr:en_GB", gettext's list of languages
    std::string lc_all;      // $LC_ALL
    std::string lc_messages; // $LC_MESSAGES
    std::string lang;        // $LANG: "fr_FR.UTF-8"

    static LocaleEnvironment of_this_process();

    // The desktop's languages, most preferred first, by the language part of each locale
    // name, lower case ("fr" of "fr_FR.UTF-8", "sr" of "sr@latin"): LANGUAGE's list, else the
    // locale of messages (LC_ALL, else LC_MESSAGES, else LANG), as gettext chooses them. None
    // where the locale is C or POSIX (LANGUAGE is not read then either) or nothing is set.
    std::vector<std::string> languages() const;
};

} // namespace morvane
