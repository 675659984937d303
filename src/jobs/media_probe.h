// A quick look at a media file that is not being converted: how long a written output lasts.
#pragma once

#include <string>

namespace morvane {

// The duration of a media file in seconds; 0 when unknown, unreadable or not a regular file.
double media_duration_seconds(const std::string& path);

} // namespace morvane
