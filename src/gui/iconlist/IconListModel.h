#pragma once

#include "harvest/IconCatalogue.h"
#include "harvest/IconQuery.h"

#include <QAbstractTableModel>
#include <QColor>
#include <QImage>

#include <functional>
#include <vector>

class QMimeData;

namespace vextral::gui {

// The catalogue's items as a Qt table model: one row per icon the filter lets
// through, in the order chosen, and the columns of the details view. Rows are
// announced to the view in batches: between beginUpdate() and endUpdate() the
// view is told of new rows only when sync() is called (the run does so a few
// times a second), so a harvest of tens of thousands of icons never redraws
// per icon. No item is made per icon: a row is its catalogue position.
class IconListModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { PictureColumn, SourceColumn, IndexColumn, ImagesColumn, LargestColumn, ColumnCount };
    // The catalogue position of a row.
    static constexpr int PositionRole = Qt::UserRole + 1;
    // Whether the row is a cursor, which the pictures mark.
    static constexpr int CursorRole = Qt::UserRole + 2;

    explicit IconListModel(const IconCatalogue& catalogue, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    Qt::DropActions supportedDragActions() const override { return Qt::CopyAction; }

    void beginUpdate() { ++updateDepth_; }
    void endUpdate();
    bool updating() const { return updateDepth_ > 0; }
    // Brings the view in step with the catalogue.
    void sync();

    void setFilter(const IconFilter& filter);
    void setOrder(IconOrder order);
    IconOrder order() const { return order_; }
    bool filtering() const { return !filter_.empty(); }

    // The catalogue position of row, or -1; the row of position, or -1.
    int positionOf(int row) const;
    int rowOf(int position) const;
    const std::vector<int>& shownPositions() const { return shown_; }
    // The icons the list holds, shown or not.
    int totalCount() const { return syncedItems_; }

    // Makes what a drag or the clipboard carries for the positions.
    using MimeMaker = std::function<QMimeData*(const std::vector<int>& positions)>;
    void setMimeMaker(MimeMaker maker) { mimeMaker_ = std::move(maker); }

signals:
    // The shown rows changed (a filter, an order, a sync).
    void shownChanged();

private:
    void rebuild();
    QString imagesText(int position) const;

    const IconCatalogue& catalogue_;
    IconFilter filter_;
    IconOrder order_ = IconOrder::Harvest;
    std::vector<int> shown_;
    mutable std::vector<int> rowOfPosition_; // built when first asked after a change
    int syncedItems_ = 0;
    int shownGeneration_ = 0;
    int updateDepth_ = 0;
    MimeMaker mimeMaker_;
};

// The 32 x 32 icon as a Qt image: alpha icons keep their alpha, masked icons
// are transparent where the mask lets the background through, and inverted
// pixels are drawn over background as the desktop would.
QImage iconImage(const Icon& icon, const QColor& background);

} // namespace vextral::gui
