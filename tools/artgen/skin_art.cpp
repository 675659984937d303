// SPDX-License-Identifier: GPL-3.0-or-later
// Painting of the default skin.
#include "skin_art.h"

#include "art_layout.h"
#include "art_painting.h"
#include "logo_art.h"

#include <QFont>
#include <QPainter>
#include <QPainterPath>

namespace morvane::artgen {

namespace {

const QColor kBandTop{0x3a, 0x51, 0x68};
const QColor kBandBottom{0x22, 0x30, 0x3e};
const QColor kFrame{0x22, 0x30, 0x3e};
const QColor kFrameEdge{0x12, 0x1a, 0x23};
const QColor kBevel{0x5c, 0x73, 0x8a};

struct ButtonLook {
    QColor top;
    QColor bottom;
    QColor glyph;
    qreal glyph_shift;
};

enum class Look { Normal, Hover, Pressed, Disabled };

ButtonLook lookOf(SkinArt::Button button, Look look) {
    const bool close = button == SkinArt::Button::Close;
    switch (look) {
    case Look::Hover:
        return close ? ButtonLook{{0xf0, 0x6a, 0x5a}, {0xc8, 0x3a, 0x2c}, Qt::white, 0}
                     : ButtonLook{{0x6c, 0xa6, 0xd8}, {0x3a, 0x73, 0xa8}, Qt::white, 0};
    case Look::Pressed:
        return close ? ButtonLook{{0xa8, 0x2c, 0x20}, {0xc8, 0x3a, 0x2c}, Qt::white, 0.7}
                     : ButtonLook{{0x2c, 0x5c, 0x8a}, {0x3a, 0x73, 0xa8}, Qt::white, 0.7};
    case Look::Disabled:
        return {{0x34, 0x44, 0x54}, {0x2c, 0x3a, 0x48}, {0x5e, 0x70, 0x80}, 0};
    case Look::Normal:
        break;
    }
    return {{0x55, 0x6d, 0x84}, {0x3b, 0x4f, 0x63}, {0xe6, 0xec, 0xf2}, 0};
}

void paintGlyph(QPainter& painter, SkinArt::Button button, const QPointF& centre,
                const QColor& colour, const QColor& disc) {
    painter.setPen(Qt::NoPen);
    switch (button) {
    case SkinArt::Button::Minimise:
        painter.setBrush(colour);
        painter.drawRoundedRect(QRectF(centre.x() - 3.5, centre.y() + 0.5, 7, 2), 0.8, 0.8);
        break;
    case SkinArt::Button::Close: {
        QPen pen(colour, 1.7, Qt::SolidLine, Qt::RoundCap);
        painter.setPen(pen);
        painter.drawLine(centre + QPointF(-2.8, -2.8), centre + QPointF(2.8, 2.8));
        painter.drawLine(centre + QPointF(-2.8, 2.8), centre + QPointF(2.8, -2.8));
        break;
    }
    case SkinArt::Button::Settings:
        drawGear(painter, centre, 9.5, colour, disc);
        break;
    }
}

} // namespace

QString SkinArt::fileName(Button button) {
    switch (button) {
    case Button::Settings:
        return QStringLiteral("settings.bmp");
    case Button::Minimise:
        return QStringLiteral("minimize.bmp");
    case Button::Close:
        break;
    }
    return QStringLiteral("close.bmp");
}

int SkinArt::controlId(Button button) {
    switch (button) {
    case Button::Settings:
        return 1002;
    case Button::Minimise:
        return 1000;
    case Button::Close:
        break;
    }
    return 1001;
}

int SkinArt::left(Button button) {
    switch (button) {
    case Button::Settings:
        return kSettingsLeft;
    case Button::Minimise:
        return kMinimiseLeft;
    case Button::Close:
        break;
    }
    return kCloseLeft;
}

QString SkinArt::fileName(const QString& base) const {
    if (scale_ == 1) {
        return base;
    }
    const qsizetype dot = base.lastIndexOf(QLatin1Char('.'));
    return base.left(dot) + QStringLiteral("@%1x").arg(scale_) + base.mid(dot);
}

QImage SkinArt::canvas(const QSize& size) const {
    QImage image(size * scale_, QImage::Format_RGB32);
    image.fill(Qt::white);
    return image;
}

QPainterPath SkinArt::scaled(const QPainterPath& path) const {
    return QTransform::fromScale(scale_, scale_).map(path);
}

QImage SkinArt::background() const {
    QImage image = canvas(kWindowSize);
    QPainter painter(&image);
    painter.scale(scale_, scale_);
    const QRect whole(QPoint(0, 0), kWindowSize);

    // Frame around the conversion window, a dark edge outside.
    painter.fillRect(whole, kFrame);
    painter.setPen(kFrameEdge);
    painter.drawRect(whole.adjusted(0, 0, -1, -1));

    // The title band with a bevel line on top.
    const QRect band(1, 1, whole.width() - 2, kBandHeight - 1);
    painter.fillRect(band, verticalGradient(band, kBandTop, kBandBottom));
    painter.setPen(kBevel);
    painter.drawLine(1, 1, whole.width() - 2, 1);

    // The conversion window covers this; white keeps a gap invisible.
    painter.fillRect(kConversionArea, Qt::white);

    // Mark and name.
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    LogoArt().paintDisc(painter, QRectF(5, 3, 13, 13));
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setBold(true);
    font.setPixelSize(11);
    painter.setFont(font);
    painter.setPen(QColor(0x10, 0x18, 0x20));
    painter.drawText(QRectF(23, 1, 120, kBandHeight), Qt::AlignVCenter | Qt::AlignLeft,
                     QStringLiteral("Morvane"));
    painter.setPen(QColor(0xf2, 0xf5, 0xf8));
    painter.drawText(QRectF(23, 0, 120, kBandHeight), Qt::AlignVCenter | Qt::AlignLeft,
                     QStringLiteral("Morvane"));
    return image;
}

QImage SkinArt::buttonStrip(Button button) const {
    const QImage backdrop =
        background().copy(QRect(QPoint(left(button), kButtonTop) * scale_, kButtonFrame * scale_));
    const QRectF disc(0.5, 0.5, kButtonFrame.width() - 1, kButtonFrame.height() - 1);
    QPainterPath outline;
    outline.addEllipse(disc);

    QImage strip = canvas(QSize(kButtonFrame.width() * 4, kButtonFrame.height()));
    QPainter strip_painter(&strip);
    const Look looks[] = {Look::Normal, Look::Hover, Look::Pressed, Look::Disabled};
    for (int i = 0; i < 4; ++i) {
        const ButtonLook look = lookOf(button, looks[i]);
        QImage frame = backdrop;
        QPainter painter(&frame);
        painter.scale(scale_, scale_);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(QColor(0x10, 0x18, 0x20, 150), 1));
        painter.setBrush(verticalGradient(disc, look.top, look.bottom));
        painter.drawEllipse(disc.adjusted(0.5, 0.5, -0.5, -0.5));
        paintGlyph(painter, button, disc.center() + QPointF(0, look.glyph_shift), look.glyph,
                   look.bottom);
        painter.end();
        strip_painter.drawImage(i * kButtonFrame.width() * scale_, 0,
                                cutOut(frame, scaled(outline)));
    }
    return strip;
}

QImage SkinArt::stopStrip() const {
    constexpr qreal kDiameter = 28;
    const QRectF disc((kStopFrame.width() - kDiameter) / 2, (kStopFrame.height() - kDiameter) / 2,
                      kDiameter, kDiameter);
    QPainterPath outline;
    outline.addEllipse(disc);

    struct Look {
        QColor top;
        QColor bottom;
        qreal shift;
    };
    const Look looks[] = {{{0xe8, 0x5a, 0x48}, {0xc0, 0x33, 0x26}, 0},
                          {{0xf7, 0x74, 0x62}, {0xd8, 0x43, 0x34}, 0},
                          {{0xa8, 0x2a, 0x1f}, {0xc8, 0x3c, 0x2e}, 1}};
    QImage strip = canvas(QSize(kStopFrame.width() * 3, kStopFrame.height()));
    QPainter strip_painter(&strip);
    for (int i = 0; i < 3; ++i) {
        QImage frame = canvas(kStopFrame);
        QPainter painter(&frame);
        painter.scale(scale_, scale_);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(QColor(0x8a, 0x1e, 0x14), 1));
        painter.setBrush(verticalGradient(disc, looks[i].top, looks[i].bottom));
        painter.drawEllipse(disc.adjusted(0.5, 0.5, -0.5, -0.5));
        painter.setPen(Qt::NoPen);
        painter.setBrush(Qt::white);
        const QPointF centre = disc.center() + QPointF(0, looks[i].shift);
        painter.drawRoundedRect(QRectF(centre.x() - 5.5, centre.y() - 5.5, 11, 11), 2, 2);
        painter.end();
        strip_painter.drawImage(i * kStopFrame.width() * scale_, 0, cutOut(frame, scaled(outline)));
    }
    return strip;
}

QString SkinArt::skinXml() const {
    QString xml = QStringLiteral(
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<!-- Morvane's default skin. Generated by tools/artgen: edit the generator, not this "
        "file. -->\n"
        "<skin name=\"Morvane\">\n"
        "    <window image=\"background.bmp\" resize_l=\"0\" resize_t=\"0\" resize_r=\"0\" "
        "resize_b=\"0\">\n");
    for (Button button : {Button::Settings, Button::Minimise, Button::Close}) {
        xml += QStringLiteral("        <control type=\"button\" id=\"%1\" left=\"%2\" top=\"%3\" "
                              "right=\"%4\" bottom=\"%5\" image=\"%6\" count=\"4\" hor=\"1\" "
                              "owndraw=\"1\"/>\n")
                   .arg(controlId(button))
                   .arg(left(button))
                   .arg(kButtonTop)
                   .arg(left(button) + kButtonFrame.width())
                   .arg(kButtonTop + kButtonFrame.height())
                   .arg(fileName(button));
    }
    xml += QStringLiteral("    </window>\n</skin>\n");
    return xml;
}

} // namespace morvane::artgen
