// SPDX-License-Identifier: GPL-3.0-or-later
#include "jobs/clock_text.h"

#include <algorithm>
#include <cstdio>

namespace morvane {

std::string clock_text(double seconds) {
    const long long whole = static_cast<long long>(std::max(0.0, seconds));
    char text[32];
    if (whole >= 3600) {
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", whole / 3600, whole / 60 % 60,
                      whole % 60);
    } else {
        std::snprintf(text, sizeof text, "%lld:%02lld", whole / 60, whole % 60);
    }
    return text;
}

} // namespace morvane
