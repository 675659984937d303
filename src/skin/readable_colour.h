// SPDX-License-Identifier: GPL-3.0-or-later
// Text colours a person can read: a theme's colour kept where it stands out enough from what
// lies behind it, else made lighter on a dark ground or darker on a light one until it does
// (a dark theme's link blue is 4.2:1 on its window grey; text needs 4.5:1).
#pragma once

#include <QColor>

namespace morvane {

// The contrast ratio of two colours, as the Web Content Accessibility Guidelines define it
// (1 to 21).
double contrast_ratio(const QColor& first, const QColor& second);

// `text` itself when it stands out from `background` by `ratio`, else the nearest colour of
// its hue that does.
QColor readable_colour(const QColor& text, const QColor& background, double ratio = 4.5);

} // namespace morvane
