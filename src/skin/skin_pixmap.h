// SPDX-License-Identifier: GPL-3.0-or-later
// One picture of a skin, read once: the magenta key colour becomes transparent at load, and
// a "name@2x.ext" file beside it (exactly twice the size) is kept for screens with a device
// pixel ratio above 1. A skin without @2x art works as before, scaled by Qt.
#pragma once

#include <QImage>
#include <QPixmap>
#include <QRegion>
#include <string>

namespace morvane {

class SkinPixmap {
public:
    // Reads the file at path (UTF-8) and its @2x companion when there is one. False, and
    // the picture is empty, when the file is missing, not a regular file or not an image.
    bool load(const std::string& path);

    bool is_null() const { return normal_.isNull(); }
    // Size in device-independent pixels (the size of the 1x picture).
    QSize size() const { return normal_.size(); }
    bool has_double_art() const { return !doubled_.isNull(); }

    // The picture for a paint device of this device pixel ratio: the @2x art above 1 when
    // there is some, else the 1x picture. Its devicePixelRatio is set to match.
    const QPixmap& for_ratio(qreal ratio) const;
    // The opaque part of rect (in the 1x picture's pixels), relative to rect's corner.
    QRegion opaque_region(const QRect& rect) const;

    // Magenta, matched exactly: (255, 0, 254) is an ordinary opaque colour.
    static bool is_key_colour(QRgb pixel);

private:
    QImage normal_image_; // 1x with alpha, for the shape
    QPixmap normal_;
    QPixmap doubled_;
};

} // namespace morvane
