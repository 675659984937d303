// SPDX-License-Identifier: GPL-3.0-or-later
// What the skin tests share: an owner window that paints a known colour (or a skin's
// background) and records the mouse presses that reach it, images written to disk, and
// what the offscreen screen shows.
#pragma once

#include <QImage>
#include <QPoint>
#include <QWidget>
#include <filesystem>
#include <vector>

namespace morvane {

class Skin;

namespace test {

inline constexpr QRgb kOwnerColour = qRgb(20, 120, 200);

class TestOwner : public QWidget {
public:
    // Takes the focus itself, as a main window's central child would, so that no skin
    // button starts out focused.
    TestOwner() { setFocusPolicy(Qt::StrongFocus); }
    void paintWith(const Skin* skin) { m_skin = skin; }
    std::vector<QPoint> presses;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    const Skin* m_skin = nullptr;
};

// Shows the window and waits until the offscreen platform has exposed it.
void showAndWait(QWidget& window);
// What the offscreen screen holds for the window, after pending paints.
QImage onScreen(QWidget& window);
// Writes image as a 24-bit BMP.
void writeBmp(const QImage& image, const std::filesystem::path& path);
// Every pixel tells where it lies: (x, y) is red x, green y, blue 99 (never the key colour).
// Sides up to 256.
QImage coordinateImage(int width, int height);

} // namespace test
} // namespace morvane
