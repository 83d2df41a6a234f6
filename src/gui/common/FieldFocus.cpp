#include "gui/common/FieldFocus.h"

#include "core/Error.h"
#include "gui/common/Prompts.h"

#include <QLabel>
#include <QLineEdit>
#include <QStackedWidget>

namespace vextral::gui {

namespace {

QString plainCaption(QString text)
{
    text.remove(QLatin1Char('&'));
    text = text.trimmed();
    if (text.endsWith(QLatin1Char(':'))) text.chop(1);
    return text.trimmed();
}

} // namespace

QWidget* fieldLabelled(QWidget& dialog, const QString& label)
{
    QWidget* found = nullptr;
    for (QLabel* l : dialog.findChildren<QLabel*>()) {
        if (!l->buddy() || plainCaption(l->text()).compare(label, Qt::CaseInsensitive) != 0) continue;
        if (found) return nullptr;
        found = l->buddy();
    }
    return found;
}

void focusField(QWidget* field)
{
    if (!field) return;
    // Each page on the way up, in a tab widget or any other stack, is shown.
    for (QWidget* w = field; w && !w->isWindow(); w = w->parentWidget()) {
        if (auto* stack = qobject_cast<QStackedWidget*>(w->parentWidget())) stack->setCurrentWidget(w);
    }
    field->setFocus(Qt::OtherFocusReason);
    if (auto* edit = qobject_cast<QLineEdit*>(field)) edit->selectAll();
}

void showFieldError(Prompts& prompts, QWidget& dialog, const FieldError& error, QWidget* field)
{
    prompts.error(&dialog, QString::fromStdString(error.what()));
    focusField(field ? field : fieldLabelled(dialog, QString::fromStdString(error.field())));
}

} // namespace vextral::gui
