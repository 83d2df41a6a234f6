#pragma once

#include <QWidget>

class QLabel;
class QStatusBar;

namespace vextral::gui {

class ElidingLabel;

// The four panels of the main window's status bar: the hint of the control
// under the pointer, then the selected icon's file name, index and position.
// The row fills the bar: the hint and the file name share what the window's
// width leaves, the index and position are as wide as their texts need.
class StatusPanels final : public QWidget {
    Q_OBJECT
public:
    // Builds the panels into bar.
    explicit StatusPanels(QStatusBar* bar);

    void showHint(const QString& hint);
    void showIcon(const QString& fileName, int iconIndex, int position);
    // Empties the icon's panels (no icon is selected any more).
    void clearIcon();

private:
    void setFitted(QLabel* panel, int designedWidth, const QString& text);
    void holdBarWidth();

    QStatusBar* bar_ = nullptr;
    ElidingLabel* hint_ = nullptr;
    ElidingLabel* file_ = nullptr;
    QLabel* index_ = nullptr;
    QLabel* position_ = nullptr;
};

} // namespace vextral::gui
