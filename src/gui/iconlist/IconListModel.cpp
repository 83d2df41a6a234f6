#include "gui/iconlist/IconListModel.h"

#include "gui/iconlist/IconToolTip.h"

#include "core/FileName.h"

#include <QFile>
#include <QPixmap>

namespace vextral::gui {

QImage iconImage(const Icon& icon, const QColor& background)
{
    QImage image(Icon::kSize, Icon::kSize, QImage::Format_ARGB32);
    const std::uint32_t bg = background.rgb() & 0xFFFFFFu;
    for (int y = 0; y < Icon::kSize; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < Icon::kSize; ++x) {
            const std::uint32_t c = icon.pixel(x, y);
            if (icon.hasAlpha) {
                line[x] = c;
            } else if (!icon.maskBit(x, y)) {
                line[x] = 0xFF000000u | c;
            } else if ((c & 0xFFFFFFu) == 0) {
                line[x] = 0;
            } else {
                line[x] = 0xFF000000u | icon.drawnOver(x, y, bg);
            }
        }
    }
    return image;
}

IconListModel::IconListModel(const IconCatalogue& catalogue, QObject* parent)
    : QAbstractListModel(parent), catalogue_(catalogue)
{}

int IconListModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : shownRows_; }

QVariant IconListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= shownRows_ || index.row() >= catalogue_.imageCount()) return {};
    const int row = index.row();
    switch (role) {
    case Qt::DecorationRole: return QPixmap::fromImage(iconImage(catalogue_.image(row), background_));
    case Qt::ToolTipRole: {
        if (row >= catalogue_.recordCount()) return {};
        return iconToolTip(catalogue_.record(row));
    }
    // What a screen reader says of the icon: its file's name and its index
    // there ("shell32.dll, icon 183"); the description names the whole path.
    case Qt::AccessibleTextRole: {
        if (row >= catalogue_.recordCount()) return {};
        const IconRecord& record = catalogue_.record(row);
        return QStringLiteral("%1, icon %2")
            .arg(QFile::decodeName(fileNamePart(record.sourceFile).c_str()))
            .arg(record.iconIndex);
    }
    case Qt::AccessibleDescriptionRole: {
        if (row >= catalogue_.recordCount()) return {};
        const IconRecord& record = catalogue_.record(row);
        return QStringLiteral("Icon %1 of %2").arg(record.iconIndex).arg(QFile::decodeName(record.sourceFile.c_str()));
    }
    default: return {};
    }
}

void IconListModel::endUpdate()
{
    if (updateDepth_ > 0 && --updateDepth_ == 0) sync();
}

void IconListModel::sync()
{
    const int rows = catalogue_.itemCount();
    if (catalogue_.generation() != shownGeneration_ || rows < shownRows_) {
        beginResetModel();
        shownRows_ = rows;
        shownGeneration_ = catalogue_.generation();
        endResetModel();
    } else if (rows > shownRows_) {
        beginInsertRows(QModelIndex(), shownRows_, rows - 1);
        shownRows_ = rows;
        endInsertRows();
    }
}

} // namespace vextral::gui
