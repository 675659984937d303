// SPDX-License-Identifier: GPL-3.0-or-later
// Morvane's mark: an orange play disc stepping onto a small player. Drawn as the
// application icon, as the About page's picture and, reduced to the disc, in the title band.
#pragma once

#include <QImage>
#include <QRectF>

class QPainter;

namespace morvane::artgen {

class LogoArt {
public:
    // The full icon on a transparent background, size x size.
    QImage icon(int size) const;
    // 180 x 180, opaque, for the About page.
    QImage aboutPicture() const;
    // The disc alone, fitted into box: the title band's small mark.
    void paintDisc(QPainter& painter, const QRectF& box) const;

private:
    void paintIcon(QPainter& painter, const QRectF& box) const;
};

} // namespace morvane::artgen
