#include "gui/common/Gauge.h"

#include <QPainter>

#include <algorithm>

namespace vextral::gui {

Gauge::Gauge(QWidget* parent) : QWidget(parent) { setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed); }

void Gauge::setValue(int percent)
{
    percent = std::clamp(percent, 0, 100);
    if (percent == value_) return;
    value_ = percent;
    update();
}

QSize Gauge::sizeHint() const { return {100, 18}; }

void Gauge::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const QRect inside = rect().adjusted(1, 1, -1, -1);
    const QColor blue(0, 0, 255);
    p.fillRect(inside, Qt::white);
    const QRect bar(inside.left(), inside.top(), inside.width() * value_ / 100, inside.height());
    p.fillRect(bar, blue);
    const QString text = QStringLiteral("%1%").arg(value_);
    p.setPen(blue);
    p.setClipRect(inside.adjusted(bar.width(), 0, 0, 0));
    p.drawText(inside, Qt::AlignCenter, text);
    p.setPen(Qt::white);
    p.setClipRect(bar);
    p.drawText(inside, Qt::AlignCenter, text);
    p.setClipping(false);
    p.setPen(QColor(0x80, 0x80, 0x80));
    p.drawRect(rect().adjusted(0, 0, -1, -1));
}

} // namespace vextral::gui
