// SPDX-License-Identifier: GPL-3.0-or-later
// Text colours a person can read: a theme's colour kept where it stands out enough from what
// lies behind it, else made lighter on a dark ground or darker on a light one until it does
// (a dark theme's link blue is 4.2:1 on its window grey; text needs 4.5:1).
#pragma once

#include <QColor>
#include <QPalette>

namespace morvane {

// The contrast ratio of two colours, as the Web Content Accessibility Guidelines define it
// (1 to 21).
double contrast_ratio(const QColor& first, const QColor& second);

// `text` itself when it stands out from `background` by `ratio`, else the nearest colour of
// its hue that does.
QColor readable_colour(const QColor& text, const QColor& background, double ratio = 4.5);

// `palette` with its selection colour (Highlight), where the selected text (HighlightedText)
// does not stand out from it by `ratio`, made darker or lighter until it does, in the active
// and inactive windows' colours; `lightened` is how light (in percent, as QColor::lighter
// takes it) a style may draw its shades of the selection colour (Fusion fills a progress bar
// from 120% of it down to itself), and the text must stand out from the lightest too.
QPalette readable_highlight(QPalette palette, int lightened = 100, double ratio = 4.5);

} // namespace morvane
