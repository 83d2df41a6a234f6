#include "gui/common/ButtonRow.h"

#include <QPushButton>

namespace vextral::gui {

QDialogButtonBox* buttonRow(QWidget* dialog, Qt::Orientation orientation)
{
    return new QDialogButtonBox(orientation, dialog);
}

QPushButton* addButton(QDialogButtonBox* row, const char* name, const char* caption, QDialogButtonBox::ButtonRole role)
{
    QPushButton* button = row->addButton(QString::fromLatin1(caption), role);
    button->setObjectName(QString::fromLatin1(name));
    return button;
}

} // namespace vextral::gui
