// Decoding, creation and pixel access of Image.
#include "platform/image.h"

#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QPainter>

namespace morvane {

namespace {

QImage readWithFormat(const QString& path, const QByteArray& format) {
    QImageReader reader(path, format);
    if (format.isEmpty()) {
        reader.setDecideFormatFromContent(true);
    }
    return reader.read();
}

} // namespace

bool Image::Load(const std::string& path, ImageType hint) {
    Destroy();
    const QString file = QFile::decodeName(QByteArray::fromStdString(path));
    // Only regular files: opening a named pipe would wait for a writer forever.
    if (!QFileInfo(file).isFile()) {
        return false;
    }
    QImage decoded;
    if (hint == ImageType::Bmp) {
        decoded = readWithFormat(file, "bmp");
    }
    if (decoded.isNull()) {
        decoded = readWithFormat(file, QByteArray());
    }
    if (decoded.isNull()) {
        return false;
    }
    m_image = decoded.convertToFormat(QImage::Format_RGB32);
    return IsValid();
}

bool Image::Create(std::uint32_t width, std::uint32_t height, std::uint32_t bits_per_pixel,
                   ImageType /*type*/) {
    Destroy();
    constexpr std::uint32_t kLargestSide = 32767; // QImage's own limit per side
    if (bits_per_pixel != 24 || width == 0 || height == 0 || width > kLargestSide ||
        height > kLargestSide) {
        return false;
    }
    m_image = QImage(static_cast<int>(width), static_cast<int>(height), QImage::Format_RGB32);
    if (m_image.isNull()) {
        return false;
    }
    m_image.fill(Qt::black);
    return true;
}

RgbQuad Image::GetPixelColor(std::int32_t x, std::int32_t y) const {
    if (!m_image.valid(x, y)) {
        return {};
    }
    const QRgb pixel = m_image.pixel(x, y);
    return {static_cast<std::uint8_t>(qBlue(pixel)), static_cast<std::uint8_t>(qGreen(pixel)),
            static_cast<std::uint8_t>(qRed(pixel)), 0};
}

void Image::SetPixelColor(std::int32_t x, std::int32_t y, std::uint32_t colour) {
    if (!m_image.valid(x, y)) {
        return;
    }
    m_image.setPixel(x, y, qRgb(colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF));
}

void Image::Blt(QPainter& painter, int x, int y) const {
    if (IsValid()) {
        painter.drawImage(x, y, m_image);
    }
}

void Image::Draw(QPainter& painter, int x, int y, int width, int height) const {
    if (!IsValid()) {
        return;
    }
    if (width == -1 && height == -1) {
        Blt(painter, x, y);
        return;
    }
    const int target_width = width == -1 ? m_image.width() : width;
    const int target_height = height == -1 ? m_image.height() : height;
    const bool smooth = painter.testRenderHint(QPainter::SmoothPixmapTransform);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter.drawImage(QRect(x, y, target_width, target_height), m_image);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, smooth);
}

} // namespace morvane
