#include "gui/iconlist/IconItemDelegate.h"

#include "gui/iconlist/IconListModel.h"
#include "gui/iconlist/IconPictures.h"

#include <QAbstractItemView>
#include <QListView>
#include <QPainter>
#include <QPen>
#include <QPixmap>
#include <QPolygonF>
#include <QStyle>

#include <algorithm>

namespace vextral::gui {

namespace {

// The mark of a cursor: a small arrow pointer, white with a black outline, in
// the square's lower right corner, readable over any picture or selection.
void drawCursorMark(QPainter* painter, const QRect& square)
{
    const qreal size = std::clamp(square.width() / 4.0, 7.0, 18.0);
    const QPointF tip(square.right() - size * 0.75, square.bottom() - size * 1.05);
    const QPointF shape[] = {{0, 0}, {0, 1}, {0.27, 0.74}, {0.45, 1.05}, {0.6, 0.97}, {0.43, 0.68}, {0.75, 0.68}};
    QPolygonF arrow;
    for (const QPointF& p : shape) arrow << tip + p * size;
    painter->setRenderHint(QPainter::Antialiasing, true);
    painter->setPen(QPen(Qt::black, std::max(1.0, size / 10.0)));
    painter->setBrush(Qt::white);
    painter->drawPolygon(arrow);
    painter->setRenderHint(QPainter::Antialiasing, false);
}

} // namespace

IconItemDelegate::IconItemDelegate(IconPictures& pictures, QObject* parent)
    : QStyledItemDelegate(parent), pictures_(pictures)
{}

void IconItemDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    if (index.column() != IconListModel::PictureColumn) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    // The square shrinks to a smaller cell, never below the picture.
    const int full = side_ + 2 * kMargin;
    const int side = std::max(side_, std::min({full, option.rect.width(), option.rect.height()}));
    const int margin = (side - side_) / 2;
    QRect square(0, 0, side, side);
    if (namesShown_) {
        square.moveTopLeft(QPoint(option.rect.left(), option.rect.top() + (option.rect.height() - side) / 2));
    } else {
        square.moveCenter(option.rect.center());
    }
    const bool selected = (option.state & QStyle::State_Selected) != 0;
    painter->save();
    if (selected) {
        // The active colour even without the focus: the inactive one may be a faint grey.
        painter->fillRect(square, option.palette.color(QPalette::Active, QPalette::Highlight));
    }
    const int position = index.data(IconListModel::PositionRole).toInt();
    const qreal scale = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
    const QPixmap picture = pictures_.picture(position, side_, scale);
    if (!picture.isNull())
        painter->drawPixmap(QRect(square.topLeft() + QPoint(margin, margin), QSize(side_, side_)), picture);
    if (index.data(IconListModel::CursorRole).toBool()) drawCursorMark(painter, square);
    if (namesShown_) {
        const QRect text = option.rect.adjusted(side + kMargin, 0, 0, 0);
        const QString name = option.fontMetrics.elidedText(index.data(Qt::DisplayRole).toString(), Qt::ElideMiddle,
                                                           text.width() - kMargin);
        painter->setPen(option.palette.color(QPalette::Active, QPalette::Text));
        painter->drawText(text, Qt::AlignLeft | Qt::AlignVCenter, name);
    }
    if ((option.state & QStyle::State_HasFocus) && namesShown_) {
        QStyleOptionFocusRect focus;
        focus.QStyleOption::operator=(option);
        focus.rect = option.rect;
        option.widget->style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, painter, option.widget);
    }
    painter->restore();
}

QSize IconItemDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    if (index.column() != IconListModel::PictureColumn) return QStyledItemDelegate::sizeHint(option, index);
    QSize size(side_ + 2 * kMargin + (namesShown_ ? kNameWidth : 0), side_ + 2 * kMargin);
    // Within the view's grid, so that no item reaches into the next cell.
    if (const auto* view = qobject_cast<const QListView*>(option.widget); view && view->gridSize().isValid())
        size = size.boundedTo(view->gridSize()).expandedTo(QSize(side_, side_));
    return size;
}

} // namespace vextral::gui
