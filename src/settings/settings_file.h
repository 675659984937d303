// SPDX-License-Identifier: GPL-3.0-or-later
// Reading and writing AppSettings in config.ini, section "Common".
#pragma once

#include "settings/app_settings.h"
#include "settings/settings_location.h"

#include <optional>
#include <string>

namespace morvane {

// Fills every field from the file; a missing key, a missing or
// unreadable file gives that key's default. The output folder always ends in "/"; an empty
// or unusable one (relative, or naming something that is no folder) gives the default
// folder. Creates the default output folder (and any missing parent) whatever folder the
// file names. The device index is read as it stands. A choice about films holding a word it
// does not know, or a list of languages holding anything but codes of two or three letters,
// gives its default. Nothing is reported.
void load_settings(AppSettings& settings, const SettingsLocation& location);

// Writes every key in one atomic replacement of the file, creating its folder; other
// sections, keys and comments stay. Nothing on success, else why, in one line: the file
// could not be written, or the output folder holds a line break, which no line can carry
// (the other keys are written, the stored folder stays).
std::optional<std::string> save_settings(const AppSettings& settings,
                                         const SettingsLocation& location);

// As save_settings, but only the keys whose values differ from `stored` (what the file held
// when it was loaded or last saved from here), into the file as it is now: what another
// Morvane chose meanwhile stays. Nothing changed writes nothing.
std::optional<std::string> save_changed_settings(const AppSettings& stored,
                                                 const AppSettings& settings,
                                                 const SettingsLocation& location);

} // namespace morvane
