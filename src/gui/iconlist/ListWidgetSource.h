#pragma once

#include "harvest/HarvestView.h"

#include <QFile>
#include <QListWidget>

namespace vextral::gui {

// A source list box read by the harvest run, by position.
class ListWidgetSource final : public SourceList {
public:
    explicit ListWidgetSource(const QListWidget* list) : list_(list) {}
    int count() const override { return list_->count(); }
    std::string at(int index) const override
    {
        const QListWidgetItem* item = list_->item(index);
        return item ? QFile::encodeName(item->text()).toStdString() : std::string();
    }

private:
    const QListWidget* list_;
};

// Appends path to a source list; the entry's tool tip is the full path, for
// the paths too long for the list's width.
inline void addSourceEntry(QListWidget& list, const QString& path)
{
    auto* item = new QListWidgetItem(path);
    item->setToolTip(path);
    list.addItem(item);
}

} // namespace vextral::gui
