#pragma once

#include "harvest/IconCatalogue.h"

#include <QAbstractListModel>
#include <QColor>
#include <QImage>

namespace vextral::gui {

// The catalogue's items as a Qt list model. Rows are announced to the view in
// batches: between beginUpdate() and endUpdate() the view is told of new rows
// only when sync() is called (the run does so a few times a second), so a
// harvest of tens of thousands of icons never redraws per icon.
class IconListModel final : public QAbstractListModel {
    Q_OBJECT
public:
    explicit IconListModel(const IconCatalogue& catalogue, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;

    void beginUpdate() { ++updateDepth_; }
    void endUpdate();
    bool updating() const { return updateDepth_ > 0; }
    // Brings the view in step with the catalogue.
    void sync();

    // The colour that inverted pixels are drawn over (the view's background).
    void setBackground(const QColor& colour) { background_ = colour; }

private:
    const IconCatalogue& catalogue_;
    int shownRows_ = 0;
    int shownGeneration_ = 0;
    int updateDepth_ = 0;
    QColor background_ = Qt::white;
};

// The icon as a Qt image: alpha icons keep their alpha, masked icons are
// transparent where the mask lets the background through, and inverted pixels
// are drawn over background as the desktop would.
QImage iconImage(const Icon& icon, const QColor& background);

} // namespace vextral::gui
