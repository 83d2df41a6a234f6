#include "gui/common/DialogHost.h"

#include <QDialog>
#include <QEvent>

namespace vextral::gui {

DialogHost::DialogHost(QWidget* window) : QObject(window), window_(window) {}

void DialogHost::show(QDialog* dialog)
{
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->installEventFilter(this);
    // A dialog deleted while shown (by its owner, or with the window) lets go too.
    connect(dialog, &QObject::destroyed, this, &DialogHost::release);
    shown_.append(dialog);
    window_->setEnabled(false);
    dialog->setEnabled(true);
    dialog->show();
}

bool DialogHost::eventFilter(QObject* watched, QEvent* e)
{
    // Minimising the desktop hides windows spontaneously; that is no closing.
    if (e->type() == QEvent::Hide && !e->spontaneous() && shown_.contains(watched)) {
        release(watched);
        watched->deleteLater();
    }
    return QObject::eventFilter(watched, e);
}

void DialogHost::release(QObject* dialog)
{
    if (shown_.removeAll(dialog) == 0) return;
    dialog->removeEventFilter(this);
    if (shown_.isEmpty()) window_->setEnabled(true);
}

} // namespace vextral::gui
