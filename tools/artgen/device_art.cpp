// SPDX-License-Identifier: GPL-3.0-or-later
// Painting of the device pictures.
#include "device_art.h"

#include "art_layout.h"
#include "art_painting.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

namespace morvane::artgen {

namespace {

QBrush horizontalGradient(const QRectF& rect,
                          std::initializer_list<std::pair<qreal, QColor>> stops) {
    QLinearGradient gradient(rect.topLeft(), rect.topRight());
    for (const auto& [at, colour] : stops) {
        gradient.setColorAt(at, colour);
    }
    return QBrush(gradient);
}

// A gloss band over the upper part of a rounded body.
void paintGloss(QPainter& painter, const QRectF& body, qreal radius, int strength) {
    QPainterPath shape;
    shape.addRoundedRect(body, radius, radius);
    QLinearGradient gloss(body.topLeft(), body.bottomLeft());
    gloss.setColorAt(0, QColor(255, 255, 255, strength));
    gloss.setColorAt(0.45, QColor(255, 255, 255, strength / 4));
    gloss.setColorAt(0.46, QColor(255, 255, 255, 0));
    painter.fillPath(shape, gloss);
}

void fillRounded(QPainter& painter, const QRectF& rect, qreal radius, const QBrush& brush) {
    QPainterPath path;
    path.addRoundedRect(rect, radius, radius);
    painter.fillPath(path, brush);
}

} // namespace

QImage DeviceArt::blank() const {
    QImage image(kDevicePicture * scale_, QImage::Format_RGB32);
    image.fill(Qt::white);
    return image;
}

void DeviceArt::begin(QPainter& painter, QImage& image) const {
    painter.begin(&image);
    painter.scale(scale_, scale_);
}

void DeviceArt::paintShadow(QPainter& painter, const QRectF& body) {
    const QPointF centre(body.center().x(), body.bottom() + 1);
    QRadialGradient shadow(centre, body.width() * 0.55);
    shadow.setColorAt(0, QColor(0, 0, 0, 70));
    shadow.setColorAt(1, QColor(0, 0, 0, 0));
    painter.save();
    painter.translate(centre);
    painter.scale(1, 0.12);
    painter.translate(-centre);
    painter.setPen(Qt::NoPen);
    painter.setBrush(shadow);
    painter.drawEllipse(centre, body.width() * 0.55, body.width() * 0.55);
    painter.restore();
}

void DeviceArt::paintAppGrid(QPainter& painter, const QRectF& screen) {
    // Wallpaper.
    QLinearGradient wallpaper(screen.topLeft(), screen.bottomRight());
    wallpaper.setColorAt(0, QColor(0x1c, 0x7c, 0xd6));
    wallpaper.setColorAt(0.55, QColor(0x4b, 0x4f, 0xc8));
    wallpaper.setColorAt(1, QColor(0x8a, 0x3f, 0xb8));
    painter.fillRect(screen, wallpaper);

    // Status bar: signal dots, time, battery.
    painter.fillRect(QRectF(screen.left(), screen.top(), screen.width(), 6), QColor(0, 0, 0, 60));
    for (int i = 0; i < 4; ++i) {
        painter.fillRect(QRectF(screen.left() + 3 + i * 3, screen.top() + 2, 2, 2), Qt::white);
    }
    painter.fillRect(QRectF(screen.center().x() - 6, screen.top() + 2, 12, 2), Qt::white);
    painter.fillRect(QRectF(screen.right() - 11, screen.top() + 1.5, 8, 3), Qt::white);

    const QColor colours[][2] = {
        {{0x6d, 0xd4, 0x5a}, {0x2f, 0xa8, 0x3a}}, {{0xff, 0xd4, 0x4d}, {0xf2, 0x9b, 0x14}},
        {{0x5c, 0xc8, 0xff}, {0x14, 0x7e, 0xe0}}, {{0xff, 0x7a, 0x6e}, {0xe0, 0x34, 0x3c}},
        {{0xf5, 0xf5, 0xf5}, {0xc8, 0xcc, 0xd2}}, {{0xc8, 0x8c, 0xff}, {0x86, 0x4c, 0xe0}},
        {{0x9a, 0xa4, 0xae}, {0x5c, 0x66, 0x70}}, {{0xff, 0xa6, 0x4d}, {0xf0, 0x6a, 0x14}},
        {{0x62, 0xe0, 0xd0}, {0x1a, 0xa8, 0x9c}}, {{0xff, 0x8c, 0xc8}, {0xe0, 0x4c, 0x96}},
        {{0xff, 0xe0, 0x70}, {0xe8, 0xb8, 0x20}}, {{0x7a, 0xb8, 0xff}, {0x36, 0x6c, 0xd8}},
        {{0x8c, 0xe0, 0x7a}, {0x48, 0xb4, 0x48}}, {{0xf0, 0xf0, 0xf0}, {0xa8, 0xb0, 0xb8}},
        {{0xff, 0x6e, 0x8c}, {0xd0, 0x30, 0x5a}}, {{0x6a, 0x7c, 0xf0}, {0x3a, 0x40, 0xc0}},
    };
    constexpr qreal kIcon = 15;
    constexpr qreal kGap = 7;
    const qreal left = screen.center().x() - (4 * kIcon + 3 * kGap) / 2;
    int index = 0;
    for (int row = 0; row < 4; ++row) {
        for (int column = 0; column < 4; ++column, ++index) {
            const QRectF icon(left + column * (kIcon + kGap), screen.top() + 11 + row * 24, kIcon,
                              kIcon);
            fillRounded(painter, icon, 3.5,
                        verticalGradient(icon, colours[index][0], colours[index][1]));
            painter.setPen(Qt::NoPen);
            painter.setBrush(QColor(255, 255, 255, 200));
            switch (index % 4) {
            case 0:
                painter.drawEllipse(icon.center(), 3.5, 3.5);
                break;
            case 1:
                painter.drawRect(QRectF(icon.center().x() - 4, icon.center().y() - 1, 8, 2));
                break;
            case 2:
                drawPlayTriangle(painter, icon.center(), 7, QColor(255, 255, 255, 210));
                break;
            default:
                painter.drawRoundedRect(
                    QRectF(icon.center().x() - 3.5, icon.center().y() - 3.5, 7, 7), 1.5, 1.5);
                break;
            }
        }
    }
    // The dock.
    const QRectF dock(screen.left(), screen.bottom() - 24, screen.width(), 24);
    painter.fillRect(dock, QColor(255, 255, 255, 55));
    const QColor dock_colours[][2] = {{{0x6d, 0xd4, 0x5a}, {0x2f, 0xa8, 0x3a}},
                                      {{0x5c, 0xc8, 0xff}, {0x14, 0x7e, 0xe0}},
                                      {{0xf5, 0xf5, 0xf5}, {0xc8, 0xcc, 0xd2}},
                                      {{0xff, 0x9a, 0x3c}, {0xf0, 0x5a, 0x14}}};
    for (int column = 0; column < 4; ++column) {
        const QRectF icon(left + column * (kIcon + kGap), dock.top() + 4.5, kIcon, kIcon);
        fillRounded(painter, icon, 3.5,
                    verticalGradient(icon, dock_colours[column][0], dock_colours[column][1]));
    }
}

void DeviceArt::paintMenuScreen(QPainter& painter, const QRectF& screen, qreal row_height) {
    painter.save();
    painter.setClipRect(screen);
    painter.fillRect(screen, Qt::white);
    const QRectF title(screen.left(), screen.top(), screen.width(), row_height + 1);
    painter.fillRect(title,
                     verticalGradient(title, QColor(0xf4, 0xf6, 0xf8), QColor(0xc4, 0xcc, 0xd4)));
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(std::max(5, static_cast<int>(row_height * 0.72)));
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(QColor(0x20, 0x24, 0x28));
    painter.drawText(title, Qt::AlignCenter, QStringLiteral("Music"));
    // Battery.
    const QRectF battery(screen.right() - row_height * 1.3, title.center().y() - row_height * 0.22,
                         row_height * 0.9, row_height * 0.44);
    painter.fillRect(battery, QColor(0x4c, 0xb0, 0x3c));

    font.setBold(false);
    painter.setFont(font);
    const QString items[] = {QStringLiteral("Playlists"), QStringLiteral("Artists"),
                             QStringLiteral("Albums"),    QStringLiteral("Songs"),
                             QStringLiteral("Genres"),    QStringLiteral("Composers"),
                             QStringLiteral("Audiobooks")};
    qreal y = title.bottom();
    for (int i = 0; y + row_height <= screen.bottom() + 0.5 && i < 7; ++i) {
        const QRectF row(screen.left(), y, screen.width(), row_height);
        if (i == 0) {
            painter.fillRect(
                row, verticalGradient(row, QColor(0x5c, 0xa8, 0xf0), QColor(0x1f, 0x6c, 0xd0)));
        }
        painter.setPen(i == 0 ? Qt::white : QColor(0x20, 0x24, 0x28));
        painter.drawText(row.adjusted(row_height * 0.35, 0, -row_height * 0.3, 0),
                         Qt::AlignVCenter | Qt::AlignLeft, items[i]);
        painter.drawText(row.adjusted(0, 0, -row_height * 0.3, 0),
                         Qt::AlignVCenter | Qt::AlignRight, QStringLiteral("\u203a"));
        y += row_height;
    }
    painter.restore();
}

void DeviceArt::paintClickWheel(QPainter& painter, const QPointF& centre, qreal radius,
                                const QColor& face) {
    painter.setPen(QPen(QColor(0, 0, 0, 45), 1));
    QRadialGradient wheel(centre - QPointF(0, radius * 0.3), radius * 1.3);
    wheel.setColorAt(0, face.lighter(106));
    wheel.setColorAt(1, face.darker(108));
    painter.setBrush(wheel);
    painter.drawEllipse(centre, radius, radius);

    const qreal button = radius * 0.37;
    painter.setPen(QPen(QColor(0, 0, 0, 40), 1));
    painter.setBrush(
        verticalGradient(QRectF(centre.x() - button, centre.y() - button, 2 * button, 2 * button),
                         face.darker(106), face.lighter(104)));
    painter.drawEllipse(centre, button, button);

    const QColor mark(0x9c, 0xa4, 0xac);
    const qreal label = radius * 0.69;
    const qreal size = radius * 0.16;
    drawMenuLabel(painter, centre - QPointF(0, label), size * 1.05, mark);
    drawSkip(painter, centre + QPointF(label, 0), size, true, mark);
    drawSkip(painter, centre - QPointF(label, 0), size, false, mark);
    drawPlayPause(painter, centre + QPointF(0, label), size, mark);
}

QImage DeviceArt::phone() const {
    QImage image = blank();
    QPainter painter;
    begin(painter, image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);

    const QRectF body(54, 8, 112, 218);
    paintShadow(painter, body);
    fillRounded(painter, body, 19,
                horizontalGradient(body, {{0, QColor(0xb4, 0xb9, 0xc0)},
                                          {0.08, QColor(0xf0, 0xf2, 0xf4)},
                                          {0.5, QColor(0xc9, 0xcd, 0xd2)},
                                          {0.92, QColor(0xf0, 0xf2, 0xf4)},
                                          {1, QColor(0xa4, 0xa9, 0xb0)}}));
    const QRectF glass = body.adjusted(2.5, 2.5, -2.5, -2.5);
    fillRounded(painter, glass, 17, QColor(0x16, 0x17, 0x1b));

    // Camera and earpiece.
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0x2c, 0x2f, 0x36));
    painter.drawEllipse(QPointF(110, 20), 2.6, 2.6);
    painter.setBrush(QColor(0x4a, 0x6c, 0x9a));
    painter.drawEllipse(QPointF(110.6, 19.4), 0.9, 0.9);
    fillRounded(painter, QRectF(99, 28, 22, 3.5), 1.75, QColor(0x3c, 0x40, 0x48));

    const QRectF screen(62, 40, 96, 150);
    paintAppGrid(painter, screen);

    // Home button.
    const QPointF home(110, 208);
    painter.setPen(QPen(QColor(0x3c, 0x40, 0x48), 1.2));
    painter.setBrush(QColor(0x1c, 0x1d, 0x22));
    painter.drawEllipse(home, 9, 9);
    painter.setPen(QPen(QColor(0x8a, 0x90, 0x98), 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(QRectF(home.x() - 3.2, home.y() - 3.2, 6.4, 6.4), 1.5, 1.5);

    paintGloss(painter, glass, 17, 28);
    return image;
}

QImage DeviceArt::nano() const {
    QImage image = blank();
    QPainter painter;
    begin(painter, image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);

    const QRectF body(76, 16, 68, 204);
    paintShadow(painter, body);
    fillRounded(painter, body, 9,
                horizontalGradient(body, {{0, QColor(0x3a, 0x62, 0xa8)},
                                          {0.15, QColor(0x76, 0xa4, 0xe8)},
                                          {0.55, QColor(0x5a, 0x8c, 0xd8)},
                                          {1, QColor(0x34, 0x5c, 0xa0)}}));
    // Hold switch on the top edge.
    fillRounded(painter, QRectF(124, 13.5, 10, 3.5), 1.5, QColor(0x9a, 0xa2, 0xac));

    const QRectF bezel(83, 28, 54, 66);
    fillRounded(painter, bezel, 3, QColor(0x12, 0x14, 0x18));
    paintMenuScreen(painter, bezel.adjusted(3, 3, -3, -3), 8.5);

    paintClickWheel(painter, QPointF(110, 158), 29, QColor(0xf0, 0xf3, 0xf6));
    paintGloss(painter, body, 9, 40);
    return image;
}

QImage DeviceArt::classic() const {
    QImage image = blank();
    QPainter painter;
    begin(painter, image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);

    const QRectF body(44, 9, 132, 216);
    paintShadow(painter, body);
    fillRounded(painter, body, 15,
                horizontalGradient(body, {{0, QColor(0xb8, 0xbe, 0xc6)},
                                          {0.12, QColor(0xee, 0xf0, 0xf3)},
                                          {0.5, QColor(0xd6, 0xda, 0xdf)},
                                          {0.88, QColor(0xee, 0xf0, 0xf3)},
                                          {1, QColor(0xb0, 0xb6, 0xbe)}}));
    const QRectF face = body.adjusted(2, 2, -2, -2);
    fillRounded(painter, face, 13, QColor(0x1e, 0x20, 0x24));

    const QRectF bezel(56, 21, 108, 84);
    fillRounded(painter, bezel, 3, QColor(0x0a, 0x0b, 0x0d));
    paintMenuScreen(painter, bezel.adjusted(3, 3, -3, -3), 10.8);

    paintClickWheel(painter, QPointF(110, 166), 47, QColor(0x3a, 0x3d, 0x43));
    paintGloss(painter, face, 13, 22);
    return image;
}

QImage DeviceArt::shuffle() const {
    QImage image = blank();
    QPainter painter;
    begin(painter, image);
    painter.setRenderHint(QPainter::Antialiasing);

    const QRectF body(67, 88, 86, 90);
    paintShadow(painter, body);

    // An earphone plugged into the socket on the top edge.
    QPainterPath cable;
    cable.moveTo(82, 84);
    cable.cubicTo(82, 58, 48, 70, 46, 46);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(QColor(0xb8, 0xbe, 0xc4), 3.4, Qt::SolidLine, Qt::RoundCap));
    painter.drawPath(cable);
    painter.setPen(QPen(QColor(0xfa, 0xfa, 0xfa), 1.8, Qt::SolidLine, Qt::RoundCap));
    painter.drawPath(cable);
    fillRounded(painter, QRectF(78.5, 80, 7, 10), 2, QColor(0xf4, 0xf4, 0xf4));
    painter.setPen(QPen(QColor(0xb8, 0xbe, 0xc4), 0.8));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(QRectF(78.5, 80, 7, 10), 2, 2);
    const QPointF bud(45, 36);
    painter.setPen(QPen(QColor(0xb8, 0xbe, 0xc4), 1));
    painter.setBrush(QColor(0xfa, 0xfa, 0xfa));
    painter.drawEllipse(bud, 9, 9);
    painter.setBrush(QColor(0xc4, 0xca, 0xd0));
    painter.setPen(Qt::NoPen);
    painter.drawEllipse(bud, 5, 5);

    // The clip behind the body: its spring end shows above the top edge.
    const QRectF clip(92, 78, 36, 16);
    fillRounded(painter, clip, 5,
                horizontalGradient(clip, {{0, QColor(0x8e, 0x96, 0xa0)},
                                          {0.5, QColor(0xe4, 0xe8, 0xec)},
                                          {1, QColor(0x8a, 0x92, 0x9c)}}));
    painter.fillRect(QRectF(96, 83, 28, 1.2), QColor(0x70, 0x78, 0x82));
    fillRounded(painter, body, 11,
                horizontalGradient(body, {{0, QColor(0x4a, 0x9c, 0x2e)},
                                          {0.2, QColor(0x8c, 0xd0, 0x5c)},
                                          {0.6, QColor(0x72, 0xbc, 0x44)},
                                          {1, QColor(0x44, 0x92, 0x2a)}}));
    // Status light on the top edge.
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0x2a, 0x3a, 0x22));
    painter.drawEllipse(QPointF(140, 93), 1.6, 1.6);

    // The control ring and its centre button.
    const QPointF centre = body.center() + QPointF(0, 1);
    QRadialGradient ring(centre - QPointF(0, 10), 40);
    ring.setColorAt(0, QColor(0xfa, 0xfc, 0xf8));
    ring.setColorAt(1, QColor(0xd8, 0xde, 0xd4));
    painter.setPen(QPen(QColor(0, 0, 0, 50), 1));
    painter.setBrush(ring);
    painter.drawEllipse(centre, 30, 30);
    painter.setBrush(verticalGradient(QRectF(centre.x() - 11, centre.y() - 11, 22, 22),
                                      QColor(0xd8, 0xde, 0xd4), QColor(0xf8, 0xfa, 0xf6)));
    painter.drawEllipse(centre, 11, 11);

    const QColor mark(0x7c, 0x86, 0x8e);
    painter.setPen(Qt::NoPen);
    painter.setBrush(mark);
    // Volume up and down.
    painter.drawRect(QRectF(centre.x() - 4, centre.y() - 22, 8, 2));
    painter.drawRect(QRectF(centre.x() - 1, centre.y() - 25, 2, 8));
    painter.drawRect(QRectF(centre.x() - 4, centre.y() + 20, 8, 2));
    drawSkip(painter, centre + QPointF(21, 0), 6, true, mark);
    drawSkip(painter, centre - QPointF(21, 0), 6, false, mark);
    drawPlayPause(painter, centre, 6, mark);

    paintGloss(painter, body, 11, 45);
    return image;
}

QImage DeviceArt::handheld() const {
    QImage image = blank();
    QPainter painter;
    begin(painter, image);
    painter.setRenderHint(QPainter::Antialiasing);

    const QRectF body(5, 72, 210, 94);
    paintShadow(painter, body);
    // Shoulder buttons peeking above the body's ends.
    const QColor shoulder(0x4a, 0x4e, 0x55);
    fillRounded(painter, QRectF(16, 68, 40, 14), 6, shoulder);
    fillRounded(painter, QRectF(164, 68, 40, 14), 6, shoulder);

    fillRounded(painter, body, 47,
                verticalGradient(body, QColor(0x3c, 0x40, 0x47), QColor(0x12, 0x13, 0x16)));

    // The wide screen.
    const QRectF bezel(51, 82, 118, 70);
    fillRounded(painter, bezel, 3, QColor(0x06, 0x06, 0x08));
    const QRectF screen = bezel.adjusted(3, 3, -3, -3);
    painter.save();
    painter.setClipRect(screen);
    painter.fillRect(screen,
                     verticalGradient(screen, QColor(0x3c, 0x8c, 0xe0), QColor(0xb8, 0xe2, 0xfa)));
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0xff, 0xe0, 0x6a));
    painter.drawEllipse(QPointF(screen.right() - 22, screen.top() + 15), 7, 7);
    QPainterPath far_hills;
    far_hills.moveTo(screen.bottomLeft());
    far_hills.cubicTo(screen.left() + 30, screen.top() + 25, screen.left() + 60, screen.top() + 50,
                      screen.right(), screen.top() + 32);
    far_hills.lineTo(screen.bottomRight());
    painter.fillPath(far_hills, QColor(0x5c, 0xb0, 0x5a));
    QPainterPath near_hills;
    near_hills.moveTo(screen.left(), screen.top() + 48);
    near_hills.cubicTo(screen.left() + 40, screen.top() + 38, screen.left() + 80, screen.top() + 60,
                       screen.right(), screen.top() + 46);
    near_hills.lineTo(screen.bottomRight());
    near_hills.lineTo(screen.bottomLeft());
    painter.fillPath(near_hills, QColor(0x38, 0x8c, 0x3c));
    painter.restore();

    // Direction pad.
    const QPointF pad(30, 106);
    QPainterPath cross;
    cross.addRoundedRect(QRectF(pad.x() - 4.5, pad.y() - 13, 9, 26), 2, 2);
    cross.addRoundedRect(QRectF(pad.x() - 13, pad.y() - 4.5, 26, 9), 2, 2);
    cross.setFillRule(Qt::WindingFill);
    painter.fillPath(cross.simplified(),
                     verticalGradient(QRectF(pad.x() - 13, pad.y() - 13, 26, 26),
                                      QColor(0x74, 0x79, 0x82), QColor(0x3c, 0x40, 0x46)));
    painter.setBrush(QColor(0x1a, 0x1b, 0x1e));
    painter.drawEllipse(pad, 2.2, 2.2);
    // Analog nub.
    painter.setBrush(verticalGradient(QRectF(24, 133, 14, 14), QColor(0x6a, 0x6e, 0x76),
                                      QColor(0x34, 0x37, 0x3c)));
    painter.drawEllipse(QPointF(31, 140), 7, 7);

    // Face buttons: triangle, circle, cross, square.
    const QPointF face(190, 108);
    const QPointF offsets[] = {{0, -11}, {11, 0}, {0, 11}, {-11, 0}};
    const QColor marks[] = {
        {0x44, 0xc8, 0x8c}, {0xf0, 0x5a, 0x52}, {0x6c, 0x9c, 0xf0}, {0xf0, 0x8c, 0xc8}};
    for (int i = 0; i < 4; ++i) {
        const QPointF c = face + offsets[i];
        painter.setPen(Qt::NoPen);
        painter.setBrush(verticalGradient(QRectF(c.x() - 5.5, c.y() - 5.5, 11, 11),
                                          QColor(0x4a, 0x4e, 0x55), QColor(0x22, 0x24, 0x28)));
        painter.drawEllipse(c, 5.5, 5.5);
        painter.setPen(QPen(marks[i], 1.2));
        painter.setBrush(Qt::NoBrush);
        switch (i) {
        case 0: {
            QPolygonF triangle(
                {c + QPointF(0, -2.8), c + QPointF(2.6, 1.8), c + QPointF(-2.6, 1.8)});
            painter.drawPolygon(triangle);
            break;
        }
        case 1:
            painter.drawEllipse(c, 2.6, 2.6);
            break;
        case 2:
            painter.drawLine(c + QPointF(-2.3, -2.3), c + QPointF(2.3, 2.3));
            painter.drawLine(c + QPointF(-2.3, 2.3), c + QPointF(2.3, -2.3));
            break;
        default:
            painter.drawRect(QRectF(c.x() - 2.3, c.y() - 2.3, 4.6, 4.6));
            break;
        }
    }

    // Small keys along the bottom: home and volume left, select and start right.
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0x50, 0x54, 0x5c));
    for (qreal x : {60.0, 76.0, 88.0, 140.0, 154.0}) {
        painter.drawRoundedRect(QRectF(x, 156, 10, 3.5), 1.75, 1.75);
    }
    paintGloss(painter, body, 47, 34);
    return image;
}

} // namespace morvane::artgen
