#pragma once

#include <QWidget>

class QLabel;
class QStatusBar;

namespace vextral::gui {

// The four panels of the main window's status bar: the hint of the control
// under the pointer, then the selected icon's file name, index and position.
class StatusPanels final : public QWidget {
    Q_OBJECT
public:
    // Builds the panels into bar.
    explicit StatusPanels(QStatusBar* bar);

    void showHint(const QString& hint);
    void showIcon(const QString& fileName, int iconIndex, int position);

private:
    QLabel* panels_[4] = {};
};

} // namespace vextral::gui
