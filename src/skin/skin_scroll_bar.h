// SPDX-License-Identifier: GPL-3.0-or-later
// The picture of a vertical scrollbar for skins: an up arrow at the top, a down arrow at the
// bottom and a tiled track between them. It is drawn only: no position, no thumb, and its
// clicks go nowhere (not even to the owner).
#pragma once

#include "skin/skin_pixmap.h"

#include <QWidget>
#include <string>

namespace morvane {

class SkinScrollBar : public QWidget {
    Q_OBJECT

public:
    explicit SkinScrollBar(QWidget* parent = nullptr);

    // The track picture and the arrows picture (up arrow in its upper half, down arrow in
    // its lower half). False when either could not be loaded; what did load is drawn.
    bool load_images(const std::string& bar_path, const std::string& buttons_path);

    QRect up_rect() const;
    QRect down_rect() const;
    QRect track_rect() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int arrow_height() const { return buttons_.size().height() / 2; }

    SkinPixmap bar_;
    SkinPixmap buttons_;
};

} // namespace morvane
