// SPDX-License-Identifier: GPL-3.0-or-later
// Picture files read with Qt's image plug-ins, after a check that they are plain files.
#include "settings_dialog/picture_file.h"

#include <QFile>
#include <QImageReader>
#include <filesystem>
#include <system_error>

namespace morvane {

QPixmap load_picture(const std::string& path) {
    std::error_code error;
    if (path.empty() || !std::filesystem::is_regular_file(path, error)) {
        return {};
    }
    QImageReader reader(QFile::decodeName(QByteArray::fromStdString(path)));
    reader.setAutoTransform(true);
    const QImage image = reader.read();
    return image.isNull() ? QPixmap() : QPixmap::fromImage(image);
}

} // namespace morvane
