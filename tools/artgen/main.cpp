// SPDX-License-Identifier: GPL-3.0-or-later
// morvane-artgen: draws Morvane's default skin, device pictures and icons into an assets
// folder (the argument), ready to be committed.
#include "device_art.h"
#include "logo_art.h"
#include "skin_art.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <cstdio>

namespace {

using morvane::artgen::DeviceArt;
using morvane::artgen::LogoArt;
using morvane::artgen::SkinArt;

bool save(const QImage& image, const QString& path, const char* format, int quality = -1) {
    if (!image.save(path, format, quality)) {
        std::fprintf(stderr, "morvane-artgen: cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    return true;
}

bool writeText(const QString& text, const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(text.toUtf8()) < 0) {
        std::fprintf(stderr, "morvane-artgen: cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    return true;
}

} // namespace

int main(int argc, char* argv[]) {
    // Painting needs no display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: morvane-artgen <assets folder>\n");
        return 2;
    }
    const QDir assets(QString::fromLocal8Bit(argv[1]));
    for (const char* folder : {"Skins", "devices", "icons"}) {
        if (!assets.mkpath(QString::fromLatin1(folder))) {
            std::fprintf(stderr, "morvane-artgen: cannot create %s\n", folder);
            return 1;
        }
    }
    const auto in = [&](const char* name) { return assets.filePath(QString::fromUtf8(name)); };

    bool ok = true;
    // The skin at 1x, and its @2x art for screens of device pixel ratio 2.
    for (int scale : {1, 2}) {
        const SkinArt skin(scale);
        const auto skin_file = [&](const QString& base) {
            return assets.filePath(QStringLiteral("Skins/") + skin.fileName(base));
        };
        ok &= save(skin.background(), skin_file(QStringLiteral("background.bmp")), "BMP");
        for (SkinArt::Button button :
             {SkinArt::Button::Settings, SkinArt::Button::Minimise, SkinArt::Button::Close}) {
            ok &= save(skin.buttonStrip(button), skin_file(SkinArt::fileName(button)), "BMP");
        }
        ok &= save(skin.stopStrip(), skin_file(QStringLiteral("stop.bmp")), "BMP");
    }
    ok &= writeText(SkinArt().skinXml(), in("Skins/Skin.xml"));

    constexpr int kJpegQuality = 92;
    for (int scale : {1, 2}) {
        const DeviceArt devices(scale);
        const QString suffix = scale == 1 ? QString() : QStringLiteral("@2x");
        const auto device_file = [&](const char* name) {
            return assets.filePath(
                QStringLiteral("devices/%1%2.jpg").arg(QLatin1String(name), suffix));
        };
        ok &= save(devices.phone(), device_file("iPhone"), "JPEG", kJpegQuality);
        ok &= save(devices.nano(), device_file("iPod Nano"), "JPEG", kJpegQuality);
        ok &= save(devices.classic(), device_file("iPod Classic"), "JPEG", kJpegQuality);
        ok &= save(devices.shuffle(), device_file("iPod Shuffle"), "JPEG", kJpegQuality);
        ok &= save(devices.handheld(), device_file("PSP"), "JPEG", kJpegQuality);
    }

    const LogoArt logo;
    for (int size : {16, 32, 48, 256}) {
        ok &= save(logo.icon(size),
                   assets.filePath(QStringLiteral("icons/morvane-%1.png").arg(size)), "PNG");
    }
    ok &= save(logo.aboutPicture(), in("icons/about.bmp"), "BMP");
    return ok ? 0 : 1;
}
