// SPDX-License-Identifier: GPL-3.0-or-later
#include "skin/readable_colour.h"

#include <algorithm>
#include <cmath>

namespace morvane {

namespace {

double linear(double channel) {
    return channel <= 0.04045 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
}

double luminance(const QColor& colour) {
    const QColor rgb = colour.toRgb();
    return 0.2126 * linear(rgb.redF()) + 0.7152 * linear(rgb.greenF()) +
           0.0722 * linear(rgb.blueF());
}

} // namespace

double contrast_ratio(const QColor& first, const QColor& second) {
    const double a = luminance(first);
    const double b = luminance(second);
    return (std::max(a, b) + 0.05) / (std::min(a, b) + 0.05);
}

QColor readable_colour(const QColor& text, const QColor& background, double ratio) {
    if (contrast_ratio(text, background) >= ratio) {
        return text;
    }
    // Towards white on a dark ground, towards black on a light one, a step at a time.
    const bool lighten = luminance(background) < 0.18;
    const QColor goal = lighten ? QColor(Qt::white) : QColor(Qt::black);
    QColor mixed = text;
    for (int step = 1; step <= 20; ++step) {
        const double share = step / 20.0;
        mixed = QColor::fromRgbF(
            static_cast<float>(text.redF() + (goal.redF() - text.redF()) * share),
            static_cast<float>(text.greenF() + (goal.greenF() - text.greenF()) * share),
            static_cast<float>(text.blueF() + (goal.blueF() - text.blueF()) * share));
        if (contrast_ratio(mixed, background) >= ratio) {
            break;
        }
    }
    return mixed;
}

QPalette readable_highlight(QPalette palette, int lightened, double ratio) {
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        const QColor text = palette.color(group, QPalette::HighlightedText);
        const QColor theme_colour = palette.color(group, QPalette::Highlight);
        // The colour itself is asked for a little more contrast each time, until its
        // lightest shade is enough.
        QColor ground = theme_colour;
        for (double asked = ratio;
             asked <= 21 && contrast_ratio(text, ground.lighter(lightened)) < ratio;
             asked += 0.25) {
            ground = readable_colour(theme_colour, text, asked);
        }
        palette.setColor(group, QPalette::Highlight, ground);
    }
    return palette;
}

} // namespace morvane
