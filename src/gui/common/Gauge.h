#pragma once

#include <QString>
#include <QWidget>

namespace vextral::gui {

// A whole percentage 0..100 drawn as a bar in the widget's palette: the empty
// part in Base, the bar in Highlight, the text in Text over the empty part and
// in HighlightedText over the bar, so it reads in light and dark themes alike.
// Setting a value only schedules a repaint, so a run may set it per icon.
//
// Screen readers see it as a progress bar from 0 to 100 whose value reads
// "N%"; each change of value is announced to them.
class Gauge final : public QWidget {
    Q_OBJECT
public:
    explicit Gauge(QWidget* parent = nullptr);

    int value() const { return value_; }
    void setValue(int percent);

    // The name screen readers hear while no accessible name is set on the
    // gauge; an accessible name set by the dialog always wins.
    void setFallbackAccessibleName(const QString& name) { fallbackName_ = name; }
    const QString& fallbackAccessibleName() const { return fallbackName_; }

    QSize sizeHint() const override;

signals:
    void valueChanged(int percent);

protected:
    void paintEvent(QPaintEvent*) override;

private:
    int value_ = 0;
    QString fallbackName_;
};

} // namespace vextral::gui
