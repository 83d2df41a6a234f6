#pragma once

#include <QObject>

class QToolBar;
class QToolButton;

namespace vextral::gui {

// The toolbar as one stop of the Tab key: of its buttons only one, the last
// one used from the keyboard, takes focus by Tab; the arrow keys (and Home,
// End) move the focus between the buttons that are enabled. Should that
// button become disabled, the first enabled one takes its place.
class ToolbarKeys final : public QObject {
    Q_OBJECT
public:
    // Watches the buttons the toolbar holds now; owned by the toolbar.
    explicit ToolbarKeys(QToolBar& toolbar);

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    void makeCurrent(QToolButton* button);
    void moveFocus(int from, int step);
    void keepAnEnabledStop();

    QList<QToolButton*> buttons_;
    QToolButton* current_ = nullptr;
};

} // namespace vextral::gui
