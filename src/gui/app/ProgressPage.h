#pragma once

#include <QWidget>

class QLabel;

namespace vextral::gui {

class Gauge;

// The "Progress" page of the main window: the run's status texts and its two
// gauges, as the harvest run reports them.
class ProgressPage final : public QWidget {
    Q_OBJECT
public:
    explicit ProgressPage(QWidget* parent = nullptr);

    void setStatus(const QString& text);
    void setFound(const QString& text);
    void setScanned(const QString& text);
    void setExtracted(const QString& text);
    void setGaugeCurrent(int percent);
    void setGaugeTotal(int percent);

private:
    QLabel* staSearch_ = nullptr;
    QLabel* staFound_ = nullptr;
    QLabel* staFile_ = nullptr;
    QLabel* staIcon_ = nullptr;
    Gauge* gaugeCurrent_ = nullptr;
    Gauge* gaugeTotal_ = nullptr;
};

} // namespace vextral::gui
