#pragma once

#include "settings/WindowState.h"

#include <QObject>

#include <functional>
#include <vector>

class QAction;
class QMenu;

namespace vextral::gui {

// The Recent submenu of the Action menu: one item per recent source, most
// recent first, numbered 1 to 10 for Alt ("menuRecent1" ... "menuRecent10"),
// then "Clear Recent" ("menuClearRecent"), which empties the list. A source
// that no longer exists (a folder removed, a disk not mounted) is shown
// disabled; the items are brought up to date each time the menu opens, so
// one that comes back is enabled again.
class RecentMenu final : public QObject {
    Q_OBJECT
public:
    // Choosing an item calls open with its path. The menu shows recent, which
    // must outlive it; refresh() after changing it.
    RecentMenu(QMenu& menu, settings::RecentSources& recent, std::function<void(const QString&)> open);

    void refresh();

private:
    QMenu& menu_;
    settings::RecentSources& recent_;
    std::function<void(const QString&)> open_;
    // Made once and reused: an item may be brought up to date while it is
    // being triggered, so none is ever deleted.
    std::vector<QAction*> items_;
    QAction* clear_ = nullptr;
};

// Whether a recent source can be added again: an existing file or folder.
bool recentSourceExists(const QString& path);

} // namespace vextral::gui
