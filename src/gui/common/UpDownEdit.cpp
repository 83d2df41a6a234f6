#include "gui/common/UpDownEdit.h"

#include "core/Text.h"

#include <QHBoxLayout>
#include <QLineEdit>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace vextral::gui {

QWidget* upDownEdit(QLineEdit* edit, int lowest, int highest, QWidget* parent)
{
    auto* box = new QWidget(parent);
    auto* layout = new QHBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(edit);
    auto* arrows = new QVBoxLayout;
    arrows->setSpacing(0);
    for (int step : {1, -1}) {
        auto* b = new QToolButton(box);
        b->setArrowType(step > 0 ? Qt::UpArrow : Qt::DownArrow);
        b->setAccessibleName(step > 0 ? QStringLiteral("Increase") : QStringLiteral("Decrease"));
        // The arrows are for the mouse; the keyboard types the number.
        b->setFocusPolicy(Qt::NoFocus);
        b->setFixedSize(16, 11);
        b->setAutoRepeat(true);
        QObject::connect(b, &QToolButton::clicked, edit, [edit, step, lowest, highest] {
            if (const auto v = parseInteger(edit->text().toStdString())) {
                edit->setText(QString::number(std::clamp(*v + step, lowest, highest)));
            }
        });
        arrows->addWidget(b);
    }
    layout->addLayout(arrows);
    return box;
}

} // namespace vextral::gui
