#include "gui/app/ToolbarPictures.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QtMath>

namespace vextral::gui {

namespace {

const QColor kOutline(0x30, 0x30, 0x30);

void page(QPainter& p, const QRectF& r)
{
    QPainterPath path;
    const qreal fold = r.width() * 0.3;
    path.moveTo(r.topLeft());
    path.lineTo(r.right() - fold, r.top());
    path.lineTo(r.right(), r.top() + fold);
    path.lineTo(r.bottomRight());
    path.lineTo(r.bottomLeft());
    path.closeSubpath();
    p.setPen(QPen(kOutline, 1));
    p.setBrush(Qt::white);
    p.drawPath(path);
    p.setBrush(QColor(0xD0, 0xD0, 0xD0));
    QPainterPath corner;
    corner.moveTo(r.right() - fold, r.top());
    corner.lineTo(r.right() - fold, r.top() + fold);
    corner.lineTo(r.right(), r.top() + fold);
    corner.closeSubpath();
    p.drawPath(corner);
}

void folder(QPainter& p, const QRectF& r)
{
    p.setPen(QPen(QColor(0x9A, 0x6A, 0x00), 1));
    p.setBrush(QColor(0xE8, 0xB4, 0x30));
    QPainterPath tab;
    tab.moveTo(r.left(), r.top() + r.height() * 0.2);
    tab.lineTo(r.left() + r.width() * 0.1, r.top());
    tab.lineTo(r.left() + r.width() * 0.4, r.top());
    tab.lineTo(r.left() + r.width() * 0.5, r.top() + r.height() * 0.2);
    tab.closeSubpath();
    p.drawPath(tab);
    p.setBrush(QColor(0xF6, 0xCF, 0x57));
    p.drawRoundedRect(QRectF(r.left(), r.top() + r.height() * 0.2, r.width(), r.height() * 0.8), 2, 2);
}

void floppy(QPainter& p, const QRectF& r)
{
    p.setPen(QPen(kOutline, 1));
    p.setBrush(QColor(0x2F, 0x5F, 0xB3));
    p.drawRoundedRect(r, 2, 2);
    p.setBrush(Qt::white);
    p.drawRect(QRectF(r.left() + r.width() * 0.2, r.top() + r.height() * 0.5, r.width() * 0.6, r.height() * 0.45));
    p.setBrush(QColor(0xC8, 0xC8, 0xC8));
    p.drawRect(QRectF(r.left() + r.width() * 0.25, r.top(), r.width() * 0.5, r.height() * 0.32));
    p.setBrush(QColor(0x2F, 0x5F, 0xB3));
    p.drawRect(QRectF(r.left() + r.width() * 0.55, r.top() + r.height() * 0.05, r.width() * 0.12, r.height() * 0.2));
}

void iconGrid(QPainter& p, const QRectF& r)
{
    const QColor colours[4] = {QColor(0xE0, 0x40, 0x40), QColor(0x40, 0xA0, 0x40), QColor(0x40, 0x70, 0xE0),
                               QColor(0xF0, 0xB0, 0x20)};
    const qreal w = r.width() / 2, h = r.height() / 2;
    p.setPen(Qt::NoPen);
    for (int i = 0; i < 4; ++i) {
        p.setBrush(colours[i]);
        p.drawRoundedRect(QRectF(r.left() + (i % 2) * w + 1, r.top() + (i / 2) * h + 1, w - 2, h - 2), 1.5, 1.5);
    }
}

void badge(QPainter& p, const QRectF& r, const QColor& colour, char sign)
{
    p.setPen(QPen(Qt::white, 1));
    p.setBrush(colour);
    p.drawEllipse(r);
    p.setPen(QPen(Qt::white, r.width() * 0.18, Qt::SolidLine, Qt::RoundCap));
    const QPointF c = r.center();
    const qreal a = r.width() * 0.25;
    if (sign == '+' || sign == '-') p.drawLine(QPointF(c.x() - a, c.y()), QPointF(c.x() + a, c.y()));
    if (sign == '+') p.drawLine(QPointF(c.x(), c.y() - a), QPointF(c.x(), c.y() + a));
    if (sign == 'x') {
        p.drawLine(QPointF(c.x() - a, c.y() - a), QPointF(c.x() + a, c.y() + a));
        p.drawLine(QPointF(c.x() - a, c.y() + a), QPointF(c.x() + a, c.y() - a));
    }
}

void drawPicture(QPainter& p, Picture picture)
{
    switch (picture) {
    case Picture::Files:
        page(p, QRectF(5.5, 2.5, 21, 27));
        iconGrid(p, QRectF(9, 11, 13, 13));
        break;
    case Picture::Folders:
        folder(p, QRectF(2.5, 5.5, 27, 21));
        iconGrid(p, QRectF(10, 13, 12, 11));
        break;
    case Picture::Start: {
        p.setPen(QPen(QColor(0x1E, 0x7A, 0x1E), 1));
        p.setBrush(QColor(0x3C, 0xB0, 0x3C));
        p.drawEllipse(QRectF(2.5, 2.5, 27, 27));
        QPainterPath play;
        play.moveTo(12, 9);
        play.lineTo(23, 16);
        play.lineTo(12, 23);
        play.closeSubpath();
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::white);
        p.drawPath(play);
        break;
    }
    case Picture::Stop: {
        QPolygonF octagon;
        for (int i = 0; i < 8; ++i) {
            const qreal angle = qDegreesToRadians(22.5 + 45.0 * i);
            octagon << QPointF(16 + 13.5 * qCos(angle), 16 + 13.5 * qSin(angle));
        }
        p.setPen(QPen(QColor(0x8A, 0x10, 0x10), 1));
        p.setBrush(QColor(0xD8, 0x30, 0x30));
        p.drawPolygon(octagon);
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::white);
        p.drawRect(QRectF(11, 11, 10, 10));
        break;
    }
    case Picture::Save: floppy(p, QRectF(4.5, 4.5, 23, 23)); break;
    case Picture::SaveAll:
        floppy(p, QRectF(2.5, 2.5, 18, 18));
        floppy(p, QRectF(11.5, 11.5, 18, 18));
        break;
    case Picture::Print:
        p.setPen(QPen(kOutline, 1));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(9.5, 3.5, 13, 10));
        p.setBrush(QColor(0x8C, 0x8C, 0x8C));
        p.drawRoundedRect(QRectF(3.5, 12.5, 25, 11), 2, 2);
        p.setBrush(Qt::white);
        p.drawRect(QRectF(8.5, 19.5, 15, 9));
        p.setPen(QPen(QColor(0x60, 0x60, 0x60), 1));
        p.drawLine(QPointF(11, 23.5), QPointF(21, 23.5));
        p.drawLine(QPointF(11, 26), QPointF(19, 26));
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0x3C, 0xB0, 0x3C));
        p.drawEllipse(QRectF(23, 15, 3, 3));
        break;
    case Picture::Edit: {
        iconGrid(p, QRectF(2, 14, 14, 14));
        p.save();
        p.translate(19, 13);
        p.rotate(45);
        p.setPen(QPen(kOutline, 1));
        p.setBrush(QColor(0xF2, 0xC1, 0x2E));
        p.drawRect(QRectF(-3, -13, 6, 18));
        p.setBrush(QColor(0xF0, 0x8C, 0xA0));
        p.drawRect(QRectF(-3, -16, 6, 3));
        QPainterPath tip;
        tip.moveTo(-3, 5);
        tip.lineTo(3, 5);
        tip.lineTo(0, 11);
        tip.closeSubpath();
        p.setBrush(QColor(0xF5, 0xDE, 0xB3));
        p.drawPath(tip);
        p.restore();
        break;
    }
    case Picture::Options: {
        p.setPen(QPen(QColor(0x40, 0x40, 0x40), 1));
        p.setBrush(QColor(0x90, 0x98, 0xA8));
        for (int i = 0; i < 8; ++i) {
            p.save();
            p.translate(16, 16);
            p.rotate(45.0 * i);
            p.drawRoundedRect(QRectF(-3, -14, 6, 7), 1, 1);
            p.restore();
        }
        p.drawEllipse(QRectF(5.5, 5.5, 21, 21));
        p.setBrush(Qt::white);
        p.drawEllipse(QRectF(12, 12, 8, 8));
        break;
    }
    case Picture::Convert: {
        iconGrid(p, QRectF(2, 3, 12, 12));
        p.setPen(QPen(kOutline, 1));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(17.5, 17.5, 12, 12));
        p.setBrush(QColor(0x40, 0x70, 0xE0));
        p.drawEllipse(QRectF(20, 20, 7, 7));
        p.setPen(QPen(QColor(0x1E, 0x7A, 0x1E), 2.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(8, 8, 18, 18), 90 * 16, -90 * 16);
        QPainterPath head;
        head.moveTo(26, 15);
        head.lineTo(30, 19);
        head.lineTo(22, 19);
        head.closeSubpath();
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0x1E, 0x7A, 0x1E));
        p.drawPath(head.translated(-4, 0));
        break;
    }
    case Picture::Capture:
        p.setPen(QPen(kOutline, 1));
        p.setBrush(QColor(0x50, 0x50, 0x58));
        p.drawRoundedRect(QRectF(2.5, 4.5, 27, 19), 2, 2);
        p.setBrush(QColor(0x9C, 0xC8, 0xF0));
        p.drawRect(QRectF(4.5, 6.5, 23, 15));
        p.setBrush(QColor(0x50, 0x50, 0x58));
        p.drawRect(QRectF(12.5, 24.5, 7, 3));
        p.drawRect(QRectF(8.5, 27.5, 15, 2));
        p.setPen(QPen(QColor(0xD8, 0x30, 0x30), 1.5, Qt::DashLine));
        p.setBrush(Qt::NoBrush);
        p.drawRect(QRectF(10, 9, 12, 10));
        break;
    case Picture::Share: {
        p.setPen(QPen(kOutline, 1));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(2.5, 7.5, 27, 18));
        p.setBrush(QColor(0xE8, 0xE8, 0xF0));
        QPainterPath flap;
        flap.moveTo(2.5, 7.5);
        flap.lineTo(16, 18);
        flap.lineTo(29.5, 7.5);
        p.drawPath(flap);
        p.setPen(Qt::NoPen);
        iconGrid(p, QRectF(20, 17, 10, 10));
        break;
    }
    case Picture::WebPage: {
        p.setPen(QPen(QColor(0x1A, 0x4C, 0x9C), 1));
        p.setBrush(QColor(0x4A, 0x90, 0xE2));
        p.drawEllipse(QRectF(2.5, 2.5, 27, 27));
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(QColor(0xE6, 0xF0, 0xFF), 1.2));
        p.drawEllipse(QRectF(10, 2.5, 12, 27));
        p.drawLine(QPointF(16, 2.5), QPointF(16, 29.5));
        p.drawLine(QPointF(2.5, 16), QPointF(29.5, 16));
        p.drawLine(QPointF(5, 9.5), QPointF(27, 9.5));
        p.drawLine(QPointF(5, 22.5), QPointF(27, 22.5));
        break;
    }
    case Picture::Help: {
        p.setPen(QPen(QColor(0x1A, 0x4C, 0x9C), 1));
        p.setBrush(QColor(0x3A, 0x7B, 0xD5));
        p.drawEllipse(QRectF(2.5, 2.5, 27, 27));
        QFont font;
        font.setBold(true);
        font.setPixelSize(20);
        p.setFont(font);
        p.setPen(Qt::white);
        p.drawText(QRectF(2.5, 2.5, 27, 27), Qt::AlignCenter, QStringLiteral("?"));
        break;
    }
    case Picture::AddFolder:
    case Picture::DeleteFolder:
    case Picture::DeleteAllFolders: folder(p, QRectF(1.5, 3.5, 15, 12)); break;
    case Picture::Browse: folder(p, QRectF(2.5, 4.5, 15, 12)); break;
    case Picture::AddFile:
    case Picture::DeleteFile:
    case Picture::DeleteAllFiles: page(p, QRectF(2.5, 1.5, 11, 14)); break;
    }
    switch (picture) {
    case Picture::AddFolder:
    case Picture::AddFile: badge(p, QRectF(9.5, 9.5, 10, 10), QColor(0x2E, 0x9A, 0x2E), '+'); break;
    case Picture::DeleteFolder:
    case Picture::DeleteFile: badge(p, QRectF(9.5, 9.5, 10, 10), QColor(0xD0, 0x30, 0x30), '-'); break;
    case Picture::DeleteAllFolders:
    case Picture::DeleteAllFiles: badge(p, QRectF(9.5, 9.5, 10, 10), QColor(0xD0, 0x30, 0x30), 'x'); break;
    default: break;
    }
}

} // namespace

QIcon toolbarPicture(Picture picture)
{
    const bool small = picture >= Picture::AddFolder;
    const int size = small ? 20 : 32;
    QIcon icon;
    for (int scale : {1, 2}) {
        QPixmap pixmap(size * scale, size * scale);
        pixmap.setDevicePixelRatio(scale);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        drawPicture(p, picture);
        p.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

} // namespace vextral::gui
