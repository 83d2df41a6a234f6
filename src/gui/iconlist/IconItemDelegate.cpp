#include "gui/iconlist/IconItemDelegate.h"

#include "core/Icon.h"

#include <QListView>
#include <QPainter>
#include <QPixmap>
#include <QStyle>

#include <algorithm>

namespace vextral::gui {

namespace {

constexpr int kSide = Icon::kSize + 2 * IconItemDelegate::kMargin;

} // namespace

void IconItemDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    // The square shrinks to a narrower cell (the list mode's), never below the picture.
    const int side = std::max(Icon::kSize, std::min({kSide, option.rect.width(), option.rect.height()}));
    const int margin = (side - Icon::kSize) / 2;
    QRect square(0, 0, side, side);
    square.moveCenter(option.rect.center());
    painter->save();
    if (option.state & QStyle::State_Selected) {
        // The active colour even without the focus: the inactive one may be a faint grey.
        painter->fillRect(square, option.palette.color(QPalette::Active, QPalette::Highlight));
    }
    const QPixmap picture = index.data(Qt::DecorationRole).value<QPixmap>();
    if (!picture.isNull()) {
        painter->drawPixmap(QRect(square.topLeft() + QPoint(margin, margin), QSize(Icon::kSize, Icon::kSize)), picture);
    }
    painter->restore();
}

QSize IconItemDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const
{
    // Within the view's grid, so that no item reaches into the next cell.
    QSize size(kSide, kSide);
    if (const auto* view = qobject_cast<const QListView*>(option.widget); view && view->gridSize().isValid())
        size = size.boundedTo(view->gridSize()).expandedTo(QSize(Icon::kSize, Icon::kSize));
    return size;
}

} // namespace vextral::gui
