#pragma once

#include <QStyledItemDelegate>

namespace vextral::gui {

// Draws an item of the icon list: its 32 x 32 picture, as it is, on a
// square that is filled with the palette's highlight colour while the item is
// selected, so the icon that Save, Copy and the other commands act on stands
// out in both view modes, whether the list has the focus or not. In a
// single-selection list the current item is the selected one, so no focus
// frame is drawn.
class IconItemDelegate final : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

    // The room around the picture that the selection square takes on each side.
    static constexpr int kMargin = 4;
};

} // namespace vextral::gui
