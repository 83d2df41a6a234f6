#pragma once

#include <QObject>

class QDialog;
class QWidget;

namespace vextral::gui {

// Shows the main window's dialogs. While one is shown the window is disabled
// (the dialog itself stays usable); a dialog is destroyed once it is hidden,
// whichever way it goes (OK, Cancel, the close box, hide()), and the window is
// enabled again when the last shown dialog has gone.
class DialogHost final : public QObject {
    Q_OBJECT
public:
    explicit DialogHost(QWidget* window);

    // Takes dialog over (it should be a child of the window) and shows it.
    void show(QDialog* dialog);

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    void release(QObject* dialog);

    QWidget* window_;
    QList<QObject*> shown_;
};

} // namespace vextral::gui
