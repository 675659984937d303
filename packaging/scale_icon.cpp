// SPDX-License-Identifier: GPL-3.0-or-later
// Scales the largest drawn icon to the other sizes the icon theme and software centres
// ask for, at build time, so only the drawn sizes live in the repository.
//   morvane-scale-icon <source.png> <size> <target.png>
#include <QImage>
#include <QString>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: morvane-scale-icon SOURCE.png SIZE TARGET.png\n");
        return 2;
    }
    const QImage source(QString::fromLocal8Bit(argv[1]));
    const int size = std::atoi(argv[2]);
    if (source.isNull() || size <= 0) {
        std::fprintf(stderr, "morvane-scale-icon: cannot read %s or bad size %s\n", argv[1],
                     argv[2]);
        return 1;
    }
    // Area averaging keeps thin lines visible when shrinking.
    const QImage scaled = source.convertToFormat(QImage::Format_ARGB32_Premultiplied)
                              .scaled(size, size, Qt::KeepAspectRatio, Qt::SmoothTransformation)
                              .convertToFormat(QImage::Format_ARGB32);
    if (!scaled.save(QString::fromLocal8Bit(argv[3]), "PNG")) {
        std::fprintf(stderr, "morvane-scale-icon: cannot write %s\n", argv[3]);
        return 1;
    }
    return 0;
}
