// SPDX-License-Identifier: GPL-3.0-or-later
// Sizes and places shared by the generated pictures and the generated Skin.xml: the main
// window's background, its title band and buttons, the conversion window it frames, the
// stop button and the device pictures shown inside it.
#pragma once

#include <QRect>
#include <QSize>

namespace morvane::artgen {

// The whole main window.
inline constexpr QSize kWindowSize{256, 280};
inline constexpr int kBandHeight = 19;
inline constexpr int kMargin = 2;
// The conversion window the main window places in its client area.
inline constexpr QRect kConversionArea{kMargin, kBandHeight, kWindowSize.width() - 2 * kMargin,
                                       kWindowSize.height() - kBandHeight - kMargin};
inline constexpr int kStatusStripHeight = 17;

// Title band buttons: 4 frames of this size side by side.
inline constexpr QSize kButtonFrame{15, 15};
inline constexpr int kButtonTop = (kBandHeight - kButtonFrame.height()) / 2;
inline constexpr int kCloseLeft = kWindowSize.width() - 5 - kButtonFrame.width();
inline constexpr int kMinimiseLeft = kCloseLeft - 4 - kButtonFrame.width();
inline constexpr int kSettingsLeft = kMinimiseLeft - 4 - kButtonFrame.width();

// The stop button: 3 frames side by side, drawn at the top-left of its 35 x 50 box in the
// conversion window's bottom-right corner, so that it stands just above the status strip.
inline constexpr QSize kStopFrame{35, 32};

// Every device picture: fits the conversion window above its status strip (top at y = 2)
// and the Devices page's picture box.
inline constexpr QSize kDevicePicture{220, 236};

} // namespace morvane::artgen
