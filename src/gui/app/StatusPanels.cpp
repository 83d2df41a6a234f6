#include "gui/app/StatusPanels.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QStatusBar>

namespace vextral::gui {

StatusPanels::StatusPanels(QStatusBar* bar) : QWidget(bar)
{
    bar->setObjectName(QStringLiteral("status"));
    // The panels lie side by side in a row of their own, each as wide as
    // designed, and the status bar is never narrower than the row, so no
    // panel ever lies over another. The window is resized by its frame: a
    // size grip would take the last panel's place at the designed width.
    bar->setSizeGripEnabled(false);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    const int widths[4] = {336, 135, 76, 61};
    for (int i = 0; i < 4; ++i) {
        panels_[i] = new QLabel(this);
        panels_[i]->setObjectName(QStringLiteral("statusPanel%1").arg(i));
        panels_[i]->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        panels_[i]->setFixedWidth(widths[i]);
        panels_[i]->setTextFormat(Qt::PlainText);
        layout->addWidget(panels_[i]);
    }
    setFixedWidth(layout->sizeHint().width());
    bar->addWidget(this);
    bar->setMinimumWidth(bar->sizeHint().width());
}

void StatusPanels::showHint(const QString& hint) { panels_[0]->setText(hint); }

void StatusPanels::showIcon(const QString& fileName, int iconIndex, int position)
{
    panels_[1]->setText(QStringLiteral("Filename:") + fileName);
    panels_[2]->setText(QStringLiteral("Index:") + QString::number(iconIndex));
    panels_[3]->setText(QStringLiteral("No:") + QString::number(position));
}

} // namespace vextral::gui
