// SPDX-License-Identifier: GPL-3.0-or-later
// A push button drawn from one image strip holding a frame per state (normal, hover,
// pressed, disabled; a strip with fewer frames shows the first for the missing ones). The
// transparent pixels of the first frame are cut out of the widget, so the button may be
// round and takes clicks on its opaque pixels only. The keyboard focus is a ring in the
// desktop's highlight colour along that shape's edge; a strip without a disabled frame is
// drawn faded when the button is disabled, so that it does not look pressable.
#pragma once

#include "skin/skin_pixmap.h"

#include <QAbstractButton>
#include <QRegion>
#include <string>

class QPainter;

namespace morvane {

class SkinButton : public QAbstractButton {
    Q_OBJECT

public:
    // owner_drawn: every state comes from the strip. Otherwise the style draws an ordinary
    // button face and the strip's hover frame is drawn over it while the mouse is there.
    explicit SkinButton(bool owner_drawn, QWidget* parent = nullptr);

    // Loads a strip of count frames (side by side when horizontal, else stacked) and shapes
    // the button with the first frame. False when it could not be loaded or count is below
    // 1: the button then shows nothing and lets clicks through.
    bool load_strip(const std::string& path, int count, bool horizontal);

    bool is_owner_drawn() const { return owner_drawn_; }
    QSize state_frame_size() const { return frame_size_; }
    // Which frame paintEvent shows now: 0 normal, 1 hover (or focused), 2 pressed, 3
    // disabled; 0 when the strip lacks that frame.
    int current_frame() const;
    const SkinPixmap& strip() const { return strip_; }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void apply_shape();
    QRect state_frame_rect(int frame, qreal ratio) const;
    void paint_focus_ring(QPainter& painter) const;

    SkinPixmap strip_;
    QRegion focus_ring_; // the shape's edge, two pixels deep
    QSize frame_size_;
    int frame_count_ = 0;
    bool horizontal_ = true;
    bool owner_drawn_;
};

} // namespace morvane
