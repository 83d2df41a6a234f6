#pragma once

#include <QStyledItemDelegate>

namespace vextral::gui {

class IconPictures;

// Draws an item of the icon list: its picture at the list's side, on a square
// that is filled with the palette's highlight colour while the item is
// selected, so the icons that Save, Copy and the other commands act on stand
// out in every view, whether the list has the focus or not. In the list view
// the source file's name follows the picture; in the details view the
// picture column is drawn this way and the other columns as text.
class IconItemDelegate final : public QStyledItemDelegate {
    Q_OBJECT
public:
    IconItemDelegate(IconPictures& pictures, QObject* parent);

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

    void setSide(int side) { side_ = side; }
    int side() const { return side_; }
    // Whether the file's name is drawn beside the picture.
    void setNamesShown(bool shown) { namesShown_ = shown; }

    // The room around the picture that the selection square takes on each side.
    static constexpr int kMargin = 4;
    // The room the list view gives a file's name.
    static constexpr int kNameWidth = 170;

private:
    IconPictures& pictures_;
    int side_ = 32;
    bool namesShown_ = false;
};

} // namespace vextral::gui
