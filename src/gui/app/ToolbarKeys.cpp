#include "gui/app/ToolbarKeys.h"

#include <QEvent>
#include <QKeyEvent>
#include <QToolBar>
#include <QToolButton>

namespace vextral::gui {

ToolbarKeys::ToolbarKeys(QToolBar& toolbar) : QObject(&toolbar)
{
    buttons_ = toolbar.findChildren<QToolButton*>();
    // The toolbar's own extension button (shown when the window is too narrow
    // for every button) is no command, but a screen reader names it too.
    for (QToolButton* b : buttons_) {
        if (b->objectName() == QLatin1String("qt_toolbar_ext_button"))
            b->setAccessibleName(QStringLiteral("More toolbar commands"));
    }
    buttons_.removeIf([](const QToolButton* b) { return b->objectName() == QLatin1String("qt_toolbar_ext_button"); });
    for (QToolButton* b : buttons_) {
        b->setFocusPolicy(Qt::NoFocus);
        b->installEventFilter(this);
    }
    keepAnEnabledStop();
}

void ToolbarKeys::makeCurrent(QToolButton* button)
{
    if (current_ == button) return;
    if (current_) current_->setFocusPolicy(Qt::NoFocus);
    current_ = button;
    if (current_) current_->setFocusPolicy(Qt::TabFocus);
}

void ToolbarKeys::keepAnEnabledStop()
{
    if (current_ && current_->isEnabled()) return;
    for (QToolButton* b : buttons_) {
        if (b->isEnabled()) {
            const bool hadFocus = current_ && current_->hasFocus();
            makeCurrent(b);
            if (hadFocus) b->setFocus(Qt::OtherFocusReason);
            return;
        }
    }
}

void ToolbarKeys::moveFocus(int from, int step)
{
    const auto n = static_cast<int>(buttons_.size());
    for (int k = 1; k <= n; ++k) {
        QToolButton* b = buttons_[((from + step * k) % n + n) % n];
        if (b->isEnabled() && b->isVisible()) {
            makeCurrent(b);
            b->setFocus(Qt::TabFocusReason);
            return;
        }
    }
}

bool ToolbarKeys::eventFilter(QObject* watched, QEvent* e)
{
    auto* button = qobject_cast<QToolButton*>(watched);
    const auto at = static_cast<int>(buttons_.indexOf(button));
    if (at < 0) return QObject::eventFilter(watched, e);
    if (e->type() == QEvent::EnabledChange) {
        keepAnEnabledStop();
    } else if (e->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(e);
        if ((key->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier) return QObject::eventFilter(watched, e);
        switch (key->key()) {
        case Qt::Key_Right:
        case Qt::Key_Down: moveFocus(at, 1); return true;
        case Qt::Key_Left:
        case Qt::Key_Up: moveFocus(at, -1); return true;
        case Qt::Key_Home: moveFocus(-1, 1); return true;
        case Qt::Key_End: moveFocus(static_cast<int>(buttons_.size()), -1); return true;
        default: break;
        }
    }
    return QObject::eventFilter(watched, e);
}

} // namespace vextral::gui
