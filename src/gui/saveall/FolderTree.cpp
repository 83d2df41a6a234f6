#include "gui/saveall/FolderTree.h"

#include "platform/MountTable.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QSet>
#include <QStandardPaths>
#include <QStyle>

#include <algorithm>
#include <cstring>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

namespace vextral::gui {

namespace {

QString cleanPath(const QString& path)
{
    QString p = QDir::cleanPath(path);
    return p.isEmpty() ? QStringLiteral("/") : p;
}

bool isUnder(const QString& path, const QString& folder)
{
    if (folder == QLatin1String("/")) return path.startsWith(QLatin1Char('/'));
    return path == folder || path.startsWith(folder + QLatin1Char('/'));
}

// Entries of a folder read, at the most, to tell whether it has a subfolder:
// one or two reads of the folder, whatever its size.
constexpr int kSubfolderLook = 512;

// Whether the folder at path has a subfolder (hidden ones and links to
// folders count, as the tree lists them). A folder whose first
// kSubfolderLook entries hold none counts as having one when it has more:
// its arrow goes once it is expanded and shows none. A folder that cannot be
// read has none.
bool hasSubfolder(const QString& path)
{
    DIR* dir = opendir(QFile::encodeName(path).constData());
    if (!dir) return false;
    bool found = false;
    for (int looked = 0; !found; ++looked) {
        const dirent* entry = readdir(dir);
        if (!entry) break;
        if (looked == kSubfolderLook) {
            found = true;
            break;
        }
        const char* name = entry->d_name;
        if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) continue;
        if (entry->d_type == DT_DIR) {
            found = true;
        } else if (entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN) {
            struct stat info {};
            found = fstatat(dirfd(dir), name, &info, 0) == 0 && S_ISDIR(info.st_mode);
        }
    }
    closedir(dir);
    return found;
}

void setArrow(QTreeWidgetItem* item, bool shown)
{
    item->setChildIndicatorPolicy(shown ? QTreeWidgetItem::ShowIndicator : QTreeWidgetItem::DontShowIndicator);
}

} // namespace

FolderTree::FolderTree(QWidget* parent)
    : QTreeWidget(parent), folderIcon_(style()->standardIcon(QStyle::SP_DirIcon)),
      driveIcon_(style()->standardIcon(QStyle::SP_DriveHDIcon))
{
    setHeaderHidden(true);
    setColumnCount(1);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setUniformRowHeights(true);

    QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    if (desktop.isEmpty() || !QDir(desktop).exists() || desktop == QDir::homePath()) desktop = QDir::homePath();
    desktop = cleanPath(desktop);
    const QString rootName = desktop == QDir::homePath() ? QDir(desktop).dirName() : QStringLiteral("Desktop");
    root_ = addNode(nullptr, desktop, rootName, Root);
    computer_ = addNode(root_, QString(), QStringLiteral("Computer"), Computer);
    for (const std::string& drive : platform::MountTable::current().drives()) {
        addNode(computer_, QString::fromStdString(drive), QString::fromStdString(drive), Folder);
    }
    computer_->setData(0, LoadedRole, true);
    loadChildren(root_);
    root_->setExpanded(true);
    computer_->setExpanded(true);

    connect(this, &QTreeWidget::itemExpanded, this, [this](QTreeWidgetItem* item) { loadChildren(item); });
    // A folder not yet read is looked at again when it becomes current: it
    // may have got a subfolder since the tree showed it.
    connect(this, &QTreeWidget::currentItemChanged, this, [](QTreeWidgetItem* item) {
        if (!item || item->data(0, LoadedRole).toBool() || item->data(0, KindRole).toInt() != Folder) return;
        setArrow(item, hasSubfolder(item->data(0, PathRole).toString()));
    });
    connect(&watcher_, &QFileSystemWatcher::directoryChanged, this, &FolderTree::folderChanged);
}

QTreeWidgetItem* FolderTree::makeNode(const QTreeWidgetItem* parent, const QString& path, const QString& name,
                                      int kind) const
{
    auto* item = new QTreeWidgetItem;
    item->setData(0, PathRole, path);
    item->setData(0, NameRole, name);
    item->setData(0, KindRole, kind);
    item->setData(0, LoadedRole, false);
    item->setText(0, caption(name));
    if (kind == Root)
        item->setIcon(0, style()->standardIcon(QStyle::SP_DesktopIcon));
    else if (kind == Computer)
        item->setIcon(0, style()->standardIcon(QStyle::SP_ComputerIcon));
    else if (parent && parent->data(0, KindRole).toInt() == Computer)
        item->setIcon(0, driveIcon_);
    else
        item->setIcon(0, folderIcon_);
    // Only a folder with subfolders shows an arrow.
    setArrow(item, kind != Folder || hasSubfolder(path));
    return item;
}

QTreeWidgetItem* FolderTree::addNode(QTreeWidgetItem* parent, const QString& path, const QString& name, int kind)
{
    QTreeWidgetItem* item = makeNode(parent, path, name, kind);
    if (parent) {
        parent->addChild(item);
    } else {
        addTopLevelItem(item);
    }
    return item;
}

void FolderTree::loadChildren(QTreeWidgetItem* node)
{
    if (!node || node->data(0, LoadedRole).toBool()) return;
    node->setData(0, LoadedRole, true);
    refresh(node);
}

// Brings a loaded node's children in step with the disk: new folders are
// added in their sorted place, vanished ones removed; the others keep what
// they have loaded.
void FolderTree::refresh(QTreeWidgetItem* node)
{
    const QString path = node->data(0, PathRole).toString();
    if (path.isEmpty()) return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    QStringList names =
        QDir(path).entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System, QDir::NoSort);
    std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
        const int c = a.compare(b, Qt::CaseInsensitive);
        return c != 0 ? c < 0 : a < b;
    });
    const QString prefix = path == QLatin1String("/") ? path : path + QLatin1Char('/');
    // Remove the children that are gone ("Computer" stays).
    const QSet<QString> present(names.cbegin(), names.cend());
    for (int i = node->childCount() - 1; i >= 0; --i) {
        QTreeWidgetItem* child = node->child(i);
        if (child->data(0, KindRole).toInt() == Computer) continue;
        if (!present.contains(child->data(0, NameRole).toString())) {
            const QString gone = child->data(0, PathRole).toString();
            for (const QString& watched : watcher_.directories()) {
                if (isUnder(watched, gone)) watcher_.removePath(watched);
            }
            delete node->takeChild(i);
        }
    }
    // Insert the new ones in order after the special node. Each run of new
    // ones goes in at once: the view lays out its rows again for every
    // insertion, which one by one would take seconds for thousands of folders.
    int at = node->childCount() > 0 && node->child(0)->data(0, KindRole).toInt() == Computer ? 1 : 0;
    QList<QTreeWidgetItem*> fresh; // to go in before the child at position at
    auto insertFresh = [&] {
        if (fresh.isEmpty()) return;
        node->insertChildren(at, fresh);
        at += static_cast<int>(fresh.size());
        fresh.clear();
    };
    for (const QString& name : names) {
        const QTreeWidgetItem* existing = at < node->childCount() ? node->child(at) : nullptr;
        if (existing && existing->data(0, NameRole).toString() == name) {
            insertFresh();
            ++at;
            continue;
        }
        fresh << makeNode(node, prefix + name, name, Folder);
    }
    insertFresh();
    setArrow(node, node->childCount() > 0);
    if (QDir(path).exists() && !watcher_.directories().contains(path)) watcher_.addPath(path);
    QApplication::restoreOverrideCursor();
}

void FolderTree::folderChanged(const QString& path)
{
    if (QTreeWidgetItem* node = findLoaded(path)) refresh(node);
}

QTreeWidgetItem* FolderTree::findLoaded(const QString& path) const
{
    QList<QTreeWidgetItem*> todo = {root_};
    while (!todo.isEmpty()) {
        QTreeWidgetItem* item = todo.takeLast();
        if (item->data(0, LoadedRole).toBool() && item->data(0, PathRole).toString() == path) return item;
        for (int i = 0; i < item->childCount(); ++i) {
            const QString childPath = item->child(i)->data(0, PathRole).toString();
            if (childPath.isEmpty() || isUnder(path, childPath) || item->child(i) == computer_) todo << item->child(i);
        }
    }
    return nullptr;
}

QTreeWidgetItem* FolderTree::nodeFor(const QString& rawPath)
{
    const QString path = cleanPath(rawPath);
    QTreeWidgetItem* node = nullptr;
    if (isUnder(path, root_->data(0, PathRole).toString())) {
        node = root_;
    } else {
        int best = -1;
        for (int i = 0; i < computer_->childCount(); ++i) {
            const QString drive = computer_->child(i)->data(0, PathRole).toString();
            if (isUnder(path, drive) && drive.size() > best) {
                best = static_cast<int>(drive.size());
                node = computer_->child(i);
            }
        }
    }
    auto childOnTheWay = [&path](const QTreeWidgetItem* parent) -> QTreeWidgetItem* {
        for (int i = 0; i < parent->childCount(); ++i) {
            const QString childPath = parent->child(i)->data(0, PathRole).toString();
            if (!childPath.isEmpty() && isUnder(path, childPath)) return parent->child(i);
        }
        return nullptr;
    };
    while (node && node->data(0, PathRole).toString() != path) {
        const bool loaded = node->data(0, LoadedRole).toBool();
        loadChildren(node);
        QTreeWidgetItem* next = childOnTheWay(node);
        // A folder read before may have got the next one since, its change not yet reported.
        if (!next && loaded) {
            refresh(node);
            next = childOnTheWay(node);
        }
        node = next;
    }
    return node;
}

QString FolderTree::selectedFolderPath() const
{
    const QList<QTreeWidgetItem*> selected = selectedItems();
    if (selected.isEmpty()) return {};
    return selected.first()->data(0, PathRole).toString();
}

QString FolderTree::caption(const QString& name) const
{
    switch (displayMode_) {
    case DisplayMode::dmUppercase: return name.toUpper();
    case DisplayMode::dmLowercase: return name.toLower();
    case DisplayMode::dmAsis: break;
    }
    return name;
}

void FolderTree::setDisplayMode(DisplayMode mode)
{
    displayMode_ = mode;
    QList<QTreeWidgetItem*> todo = {root_};
    while (!todo.isEmpty()) {
        QTreeWidgetItem* item = todo.takeLast();
        item->setText(0, caption(item->data(0, NameRole).toString()));
        for (int i = 0; i < item->childCount(); ++i) todo << item->child(i);
    }
}

} // namespace vextral::gui
