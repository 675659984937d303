// Reading and writing AppSettings in config.ini, section "Common".
#pragma once

#include "settings/app_settings.h"
#include "settings/settings_location.h"

namespace morvane {

// Fills every field but quality_bit_rate from the file; a missing key, a missing or
// unreadable file gives that key's default. Creates the default output folder (and any
// missing parent) whatever folder the file names. A device index outside the device table
// becomes 0. Nothing is reported.
void load_settings(AppSettings& settings, const SettingsLocation& location);

// Writes the five keys in one atomic replacement of the file; other sections, keys and
// comments stay. False when the file could not be written (callers may ignore it: the
// record is unchanged either way), or when the output folder holds a line break, which no
// line can carry (the other keys are written, the stored folder stays).
bool save_settings(const AppSettings& settings, const SettingsLocation& location);

} // namespace morvane
