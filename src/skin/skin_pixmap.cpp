// SPDX-License-Identifier: GPL-3.0-or-later
// Loading skin pictures: key colour to alpha, @2x companions.
#include "skin/skin_pixmap.h"

#include <QBitmap>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>

namespace morvane {

namespace {

// Only regular files are read: opening a named pipe would wait for a writer forever.
QImage read_image(const QString& file) {
    if (!QFileInfo(file).isFile()) {
        return {};
    }
    QImageReader reader(file);
    reader.setDecideFormatFromContent(true);
    QImage image = reader.read();
    if (image.isNull()) {
        return {};
    }
    image = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if (SkinPixmap::is_key_colour(line[x])) {
                line[x] = qRgba(0, 0, 0, 0);
            }
        }
    }
    return image;
}

QString doubled_name(const QString& file) {
    const QFileInfo info(file);
    const QString suffix = info.suffix();
    const QString stem = suffix.isEmpty() ? info.fileName() : info.completeBaseName();
    return info.dir().filePath(stem + QStringLiteral("@2x") +
                               (suffix.isEmpty() ? QString() : QLatin1Char('.') + suffix));
}

} // namespace

bool SkinPixmap::is_key_colour(QRgb pixel) {
    return qRed(pixel) == 255 && qGreen(pixel) == 0 && qBlue(pixel) == 255;
}

bool SkinPixmap::load(const std::string& path) {
    normal_image_ = QImage();
    normal_ = doubled_ = QPixmap();
    const QString file = QFile::decodeName(QByteArray::fromStdString(path));
    normal_image_ = read_image(file);
    if (normal_image_.isNull()) {
        return false;
    }
    normal_ = QPixmap::fromImage(normal_image_);
    // Art of any other size would misplace every frame of a strip: it is left unused.
    const QImage doubled = read_image(doubled_name(file));
    if (!doubled.isNull() && doubled.size() == normal_image_.size() * 2) {
        doubled_ = QPixmap::fromImage(doubled);
        doubled_.setDevicePixelRatio(2.0);
    }
    return true;
}

const QPixmap& SkinPixmap::for_ratio(qreal ratio) const {
    return ratio > 1.0 && !doubled_.isNull() ? doubled_ : normal_;
}

QRegion SkinPixmap::opaque_region(const QRect& rect) const {
    const QImage part = normal_image_.copy(rect);
    if (part.isNull()) {
        return {};
    }
    return QRegion(QBitmap::fromImage(part.createAlphaMask()));
}

} // namespace morvane
