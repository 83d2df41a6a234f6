#include "gui/app/ProgramIcon.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace vextral::gui {

namespace {

// One small icon of the four: a rounded square with a light top edge.
void tile(QPainter& p, const QRectF& r, const QColor& colour)
{
    const qreal radius = r.width() * 0.22;
    QLinearGradient fill(r.topLeft(), r.bottomLeft());
    fill.setColorAt(0, colour.lighter(135));
    fill.setColorAt(1, colour);
    p.setPen(QPen(colour.darker(170), r.width() * 0.06));
    p.setBrush(fill);
    p.drawRoundedRect(r, radius, radius);
}

// A downward arrow into a tray: what the program does to the icons it finds.
void harvestArrow(QPainter& p, const QRectF& r)
{
    QPainterPath arrow;
    const qreal cx = r.center().x();
    const qreal shaft = r.width() * 0.16;
    arrow.moveTo(cx - shaft, r.top());
    arrow.lineTo(cx + shaft, r.top());
    arrow.lineTo(cx + shaft, r.top() + r.height() * 0.5);
    arrow.lineTo(r.right(), r.top() + r.height() * 0.5);
    arrow.lineTo(cx, r.bottom());
    arrow.lineTo(r.left(), r.top() + r.height() * 0.5);
    arrow.lineTo(cx - shaft, r.top() + r.height() * 0.5);
    arrow.closeSubpath();
    p.setPen(QPen(QColor(0x20, 0x30, 0x50), r.width() * 0.07, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::white);
    p.drawPath(arrow);
}

} // namespace

QImage programIcon(int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 64.0, size / 64.0);

    // The tile: everything is laid out on a 64 x 64 grid.
    const QRectF back(3, 3, 58, 58);
    QLinearGradient blue(back.topLeft(), back.bottomLeft());
    blue.setColorAt(0, QColor(0x4A, 0x8E, 0xE6));
    blue.setColorAt(1, QColor(0x1C, 0x4A, 0x96));
    p.setPen(QPen(QColor(0x12, 0x2E, 0x60), 2));
    p.setBrush(blue);
    p.drawRoundedRect(back, 12, 12);

    const bool small = size < 32;
    const qreal gap = small ? 6 : 5;
    const qreal side = small ? 20 : 17;
    const qreal left = 32 - side - gap / 2;
    const qreal top = small ? left : 10;
    const QColor colours[] = {QColor(0xE8, 0x55, 0x3A), QColor(0xF6, 0xC3, 0x43), QColor(0x4C, 0xAF, 0x50),
                              QColor(0x9C, 0x5B, 0xD0)};
    for (int row = 0; row < 2; ++row) {
        for (int column = 0; column < 2; ++column) {
            const qreal x = left + column * (side + gap);
            const qreal y = top + row * (side + gap);
            tile(p, QRectF(x, y, side, side), colours[row * 2 + column]);
        }
    }
    if (!small) {
        harvestArrow(p, QRectF(22, 36, 20, 20));
    }
    p.end();
    return image;
}

} // namespace vextral::gui
