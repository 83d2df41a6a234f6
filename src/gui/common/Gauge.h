#pragma once

#include <QWidget>

namespace vextral::gui {

// A whole percentage 0..100 drawn as a blue bar. Its text stays readable over
// both parts: blue over the empty part, white over the filled part. Setting a
// value only schedules a repaint, so a run may set it per icon.
class Gauge final : public QWidget {
    Q_OBJECT
public:
    explicit Gauge(QWidget* parent = nullptr);

    int value() const { return value_; }
    void setValue(int percent);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent*) override;

private:
    int value_ = 0;
};

} // namespace vextral::gui
