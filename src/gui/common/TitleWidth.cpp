#include "gui/common/TitleWidth.h"

#include <QBoxLayout>
#include <QFontMetrics>
#include <QGridLayout>
#include <QMessageBox>
#include <QSpacerItem>
#include <QWidget>

#include <algorithm>

namespace vextral::gui {

namespace {

constexpr double kCaptionScale = 1.25;
// A window icon and three buttons, with the room between them.
constexpr int kTitleBarControlsWidth = 4 * 32 + 16;

// A row of the layout as wide as the title needs and no height.
QSpacerItem* titleRow(int width) { return new QSpacerItem(width, 0, QSizePolicy::Minimum, QSizePolicy::Fixed); }

} // namespace

int titleBarWidth(const QWidget& window)
{
    QFont caption = window.font();
    caption.setBold(true);
    caption.setPointSizeF(caption.pointSizeF() * kCaptionScale);
    return QFontMetrics(caption).horizontalAdvance(window.windowTitle()) + kTitleBarControlsWidth;
}

void fitTitle(QWidget& dialog)
{
    const int width = titleBarWidth(dialog);
    if (dialog.minimumWidth() == dialog.maximumWidth()) {
        // setFixedSize: the fixed width grows, the height stays.
        if (dialog.minimumWidth() < width) dialog.setFixedWidth(width);
        return;
    }
    if (auto* grid = qobject_cast<QGridLayout*>(dialog.layout())) {
        grid->addItem(titleRow(width), grid->rowCount(), 0, 1, std::max(1, grid->columnCount()));
    } else if (auto* box = qobject_cast<QBoxLayout*>(dialog.layout())) {
        if (box->direction() == QBoxLayout::TopToBottom || box->direction() == QBoxLayout::BottomToTop) {
            box->addSpacerItem(titleRow(width));
        } else {
            dialog.setMinimumWidth(std::max(dialog.minimumWidth(), width));
        }
    } else {
        dialog.setMinimumWidth(std::max(dialog.minimumWidth(), width));
    }
}

void fitTitle(QMessageBox& box)
{
    // QMessageBox sets its own minimum size from its texts each time it is
    // laid out; a row of its grid is what it cannot shrink below.
    if (auto* grid = qobject_cast<QGridLayout*>(box.layout())) {
        grid->addItem(titleRow(titleBarWidth(box)), grid->rowCount(), 0, 1, std::max(1, grid->columnCount()));
    }
}

} // namespace vextral::gui
