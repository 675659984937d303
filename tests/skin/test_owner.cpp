// SPDX-License-Identifier: GPL-3.0-or-later
// Owner window and image helpers of the skin tests.
#include "test_owner.h"

#include "skin/skin.h"

#include <QCoreApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QTest>
#include <gtest/gtest.h>

namespace morvane::test {

void TestOwner::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    if (m_skin != nullptr) {
        m_skin->paint_background(painter);
    } else {
        painter.fillRect(rect(), QColor::fromRgb(kOwnerColour));
    }
}

void TestOwner::mousePressEvent(QMouseEvent* event) {
    presses.push_back(event->position().toPoint());
}

void showAndWait(QWidget& window) {
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    window.setFocus();
}

QImage onScreen(QWidget& window) {
    QCoreApplication::processEvents();
    return window.screen()
        ->grabWindow(window.winId())
        .toImage()
        .convertToFormat(QImage::Format_RGB32);
}

void writeBmp(const QImage& image, const std::filesystem::path& path) {
    ASSERT_TRUE(image.save(QString::fromStdString(path.string()), "BMP"));
}

QImage coordinateImage(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            image.setPixel(x, y, qRgb(x, y, 99));
        }
    }
    return image;
}

} // namespace morvane::test
