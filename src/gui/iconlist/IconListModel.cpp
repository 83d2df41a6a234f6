#include "gui/iconlist/IconListModel.h"

#include "gui/iconlist/IconPictures.h"
#include "gui/iconlist/IconToolTip.h"

#include "core/FileName.h"

#include <QFile>
#include <QMimeData>

#include <algorithm>

namespace vextral::gui {

QImage iconImage(const Icon& icon, const QColor& background)
{
    return pictureImage(Icon::kSize, Icon::kSize, icon.colour.data(), icon.mask.data(), icon.hasAlpha, background);
}

IconListModel::IconListModel(const IconCatalogue& catalogue, QObject* parent)
    : QAbstractTableModel(parent), catalogue_(catalogue)
{}

int IconListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(shown_.size());
}

int IconListModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : ColumnCount; }

int IconListModel::positionOf(int row) const
{
    if (row < 0 || row >= static_cast<int>(shown_.size())) return -1;
    const int position = shown_[static_cast<std::size_t>(row)];
    // Rows not yet synced after a clear name nothing.
    return position < catalogue_.imageCount() && position < catalogue_.recordCount() ? position : -1;
}

int IconListModel::rowOf(int position) const
{
    if (rowOfPosition_.empty() && !shown_.empty()) {
        rowOfPosition_.assign(static_cast<std::size_t>(*std::max_element(shown_.begin(), shown_.end())) + 1, -1);
        for (std::size_t row = 0; row < shown_.size(); ++row)
            rowOfPosition_[static_cast<std::size_t>(shown_[row])] = static_cast<int>(row);
    }
    if (position < 0 || position >= static_cast<int>(rowOfPosition_.size())) return -1;
    return rowOfPosition_[static_cast<std::size_t>(position)];
}

QString IconListModel::imagesText(int position) const
{
    return imageLines(catalogue_.images(position), catalogue_.imageListCount(position), QStringLiteral("; "));
}

QVariant IconListModel::data(const QModelIndex& index, int role) const
{
    const int position = index.isValid() ? positionOf(index.row()) : -1;
    if (position < 0) return {};
    const IconRecord& record = catalogue_.record(position);
    const QString name = QFile::decodeName(fileNamePart(record.sourceFile).c_str());
    switch (role) {
    case PositionRole: return position;
    case CursorRole: return record.cursor;
    case Qt::DisplayRole:
        switch (index.column()) {
        case PictureColumn: return name; // shown beside the picture in the list view
        case SourceColumn: return QFile::decodeName(record.sourceFile.c_str());
        case IndexColumn: return record.iconIndex;
        case ImagesColumn: return imagesText(position);
        case LargestColumn: {
            const int side = catalogue_.largestSide(position);
            return QStringLiteral("%1 x %1").arg(side);
        }
        default: return {};
        }
    case Qt::TextAlignmentRole:
        if (index.column() == IndexColumn || index.column() == LargestColumn)
            return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
        return {};
    case Qt::ToolTipRole: return iconToolTip(record);
    // What a screen reader says of the icon: its file's name and its index
    // there ("shell32.dll, icon 183"); the description names the whole path.
    case Qt::AccessibleTextRole:
        return QStringLiteral("%1, %2 %3")
            .arg(name, record.cursor ? QStringLiteral("cursor") : QStringLiteral("icon"))
            .arg(record.iconIndex);
    case Qt::AccessibleDescriptionRole:
        return QStringLiteral("Icon %1 of %2").arg(record.iconIndex).arg(QFile::decodeName(record.sourceFile.c_str()));
    default: return {};
    }
}

QVariant IconListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    switch (section) {
    case PictureColumn: return QStringLiteral("Icon");
    case SourceColumn: return QStringLiteral("Source file");
    case IndexColumn: return QStringLiteral("Index");
    case ImagesColumn: return QStringLiteral("Images");
    case LargestColumn: return QStringLiteral("Largest");
    default: return {};
    }
}

Qt::ItemFlags IconListModel::flags(const QModelIndex& index) const
{
    if (!index.isValid()) return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled | Qt::ItemNeverHasChildren;
}

QStringList IconListModel::mimeTypes() const
{
    return {QStringLiteral("text/uri-list"), QStringLiteral("image/png"), QStringLiteral("image/vnd.microsoft.icon")};
}

QMimeData* IconListModel::mimeData(const QModelIndexList& indexes) const
{
    if (!mimeMaker_) return nullptr;
    std::vector<int> positions;
    for (const QModelIndex& i : indexes) {
        if (i.column() != PictureColumn) continue; // a row of the details view counts once
        if (const int p = positionOf(i.row()); p >= 0) positions.push_back(p);
    }
    std::sort(positions.begin(), positions.end());
    positions.erase(std::unique(positions.begin(), positions.end()), positions.end());
    return positions.empty() ? nullptr : mimeMaker_(positions);
}

void IconListModel::endUpdate()
{
    if (updateDepth_ > 0 && --updateDepth_ == 0) sync();
}

void IconListModel::rebuild()
{
    beginResetModel();
    shown_ = queryIcons(catalogue_, filter_, order_);
    rowOfPosition_.clear();
    syncedItems_ = std::min(catalogue_.itemCount(), catalogue_.imageCount());
    shownGeneration_ = catalogue_.generation();
    endResetModel();
    emit shownChanged();
}

void IconListModel::sync()
{
    const int items = std::min(catalogue_.itemCount(), catalogue_.imageCount());
    if (catalogue_.generation() != shownGeneration_ || items < syncedItems_) {
        rebuild();
    } else if (items > syncedItems_) {
        if (order_ != IconOrder::Harvest) {
            rebuild(); // the new icons may belong anywhere
            return;
        }
        std::vector<int> added;
        appendMatchingIcons(catalogue_, filter_, syncedItems_, added);
        syncedItems_ = items;
        if (!added.empty()) {
            const int first = static_cast<int>(shown_.size());
            beginInsertRows(QModelIndex(), first, first + static_cast<int>(added.size()) - 1);
            shown_.insert(shown_.end(), added.begin(), added.end());
            rowOfPosition_.clear();
            endInsertRows();
        }
        emit shownChanged();
    }
}

void IconListModel::setFilter(const IconFilter& filter)
{
    if (filter.words == filter_.words && filter.sides == filter_.sides && filter.depths == filter_.depths) return;
    filter_ = filter;
    rebuild();
}

void IconListModel::setOrder(IconOrder order)
{
    if (order == order_) return;
    order_ = order;
    rebuild();
}

} // namespace vextral::gui
