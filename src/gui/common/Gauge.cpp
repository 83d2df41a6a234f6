#include "gui/common/Gauge.h"

#include <QAccessible>
#include <QAccessibleValueInterface>
#include <QAccessibleWidget>
#include <QPainter>

#include <algorithm>

namespace vextral::gui {

namespace {

// What assistive technology sees of a gauge: a read-only progress bar.
class GaugeAccessible final : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    explicit GaugeAccessible(Gauge* gauge) : QAccessibleWidget(gauge, QAccessible::ProgressBar) {}

    void* interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::ValueInterface) return static_cast<QAccessibleValueInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Value) return QStringLiteral("%1%").arg(gauge()->value());
        QString text = QAccessibleWidget::text(t);
        if (t == QAccessible::Name && text.isEmpty()) text = gauge()->fallbackAccessibleName();
        return text;
    }

    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.readOnly = true;
        return s;
    }

    QVariant currentValue() const override { return gauge()->value(); }
    void setCurrentValue(const QVariant&) override {} // the run sets it, never the user
    QVariant maximumValue() const override { return 100; }
    QVariant minimumValue() const override { return 0; }
    QVariant minimumStepSize() const override { return 1; }

private:
    Gauge* gauge() const { return static_cast<Gauge*>(widget()); }
};

QAccessibleInterface* gaugeAccessible(const QString&, QObject* object)
{
    if (auto* gauge = qobject_cast<Gauge*>(object)) return new GaugeAccessible(gauge);
    return nullptr;
}

} // namespace

Gauge::Gauge(QWidget* parent) : QWidget(parent)
{
    static const bool factoryInstalled = [] {
        QAccessible::installFactory(gaugeAccessible);
        return true;
    }();
    (void)factoryInstalled;
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void Gauge::setValue(int percent)
{
    percent = std::clamp(percent, 0, 100);
    if (percent == value_) return;
    value_ = percent;
    update();
    QAccessibleValueChangeEvent event(this, value_);
    QAccessible::updateAccessibility(&event);
    emit valueChanged(value_);
}

QSize Gauge::sizeHint() const { return {100, 18}; }

void Gauge::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const QPalette& colours = palette();
    const QRect inside = rect().adjusted(1, 1, -1, -1);
    p.fillRect(inside, colours.color(QPalette::Base));
    const QRect bar(inside.left(), inside.top(), inside.width() * value_ / 100, inside.height());
    p.fillRect(bar, colours.color(QPalette::Highlight));
    const QString text = QStringLiteral("%1%").arg(value_);
    p.setPen(colours.color(QPalette::Text));
    p.setClipRect(inside.adjusted(bar.width(), 0, 0, 0));
    p.drawText(inside, Qt::AlignCenter, text);
    p.setPen(colours.color(QPalette::HighlightedText));
    p.setClipRect(bar);
    p.drawText(inside, Qt::AlignCenter, text);
    p.setClipping(false);
    p.setPen(colours.color(QPalette::Dark));
    p.drawRect(rect().adjusted(0, 0, -1, -1));
}

} // namespace vextral::gui
