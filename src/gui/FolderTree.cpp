#include "gui/FolderTree.h"

#include "platform/MountTable.h"

#include <QApplication>
#include <QDir>
#include <QStandardPaths>
#include <QStyle>

#include <algorithm>

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

} // namespace

FolderTree::FolderTree(QWidget* parent) : QTreeWidget(parent)
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
    connect(&watcher_, &QFileSystemWatcher::directoryChanged, this, &FolderTree::folderChanged);
}

QTreeWidgetItem* FolderTree::addNode(QTreeWidgetItem* parent, const QString& path, const QString& name, int kind,
                                     int index)
{
    auto* item = new QTreeWidgetItem;
    if (!parent) addTopLevelItem(item);
    else if (index < 0) parent->addChild(item);
    else parent->insertChild(index, item);
    item->setData(0, PathRole, path);
    item->setData(0, NameRole, name);
    item->setData(0, KindRole, kind);
    item->setData(0, LoadedRole, false);
    item->setText(0, caption(name));
    QStyle::StandardPixmap icon = QStyle::SP_DirIcon;
    if (kind == Root) icon = QStyle::SP_DesktopIcon;
    else if (kind == Computer) icon = QStyle::SP_ComputerIcon;
    else if (parent && parent->data(0, KindRole).toInt() == Computer) icon = QStyle::SP_DriveHDIcon;
    item->setIcon(0, style()->standardIcon(icon));
    item->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
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
    QStringList names = QDir(path).entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System, QDir::NoSort);
    std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
        const int c = a.compare(b, Qt::CaseInsensitive);
        return c != 0 ? c < 0 : a < b;
    });
    const QString prefix = path == QLatin1String("/") ? path : path + QLatin1Char('/');
    // Remove the children that are gone ("Computer" stays).
    for (int i = node->childCount() - 1; i >= 0; --i) {
        QTreeWidgetItem* child = node->child(i);
        if (child->data(0, KindRole).toInt() == Computer) continue;
        if (!names.contains(child->data(0, NameRole).toString())) {
            const QString gone = child->data(0, PathRole).toString();
            for (const QString& watched : watcher_.directories()) {
                if (isUnder(watched, gone)) watcher_.removePath(watched);
            }
            delete node->takeChild(i);
        }
    }
    // Insert the new ones in order after the special node.
    int at = node->childCount() > 0 && node->child(0)->data(0, KindRole).toInt() == Computer ? 1 : 0;
    for (const QString& name : names) {
        QTreeWidgetItem* existing = at < node->childCount() ? node->child(at) : nullptr;
        if (existing && existing->data(0, NameRole).toString() == name) {
            ++at;
            continue;
        }
        addNode(node, prefix + name, name, Folder, at++);
    }
    if (node->childCount() == 0) node->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicator);
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
    while (node && node->data(0, PathRole).toString() != path) {
        loadChildren(node);
        QTreeWidgetItem* next = nullptr;
        for (int i = 0; i < node->childCount() && !next; ++i) {
            const QString childPath = node->child(i)->data(0, PathRole).toString();
            if (!childPath.isEmpty() && isUnder(path, childPath)) next = node->child(i);
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
