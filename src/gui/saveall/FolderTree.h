#pragma once

#include <QFileSystemWatcher>
#include <QIcon>
#include <QTreeWidget>

namespace vextral::gui {

enum class DisplayMode { dmAsis, dmUppercase, dmLowercase };

// A read-only tree of the folders a user saves into: the Desktop folder (or
// the home folder when there is none) at the root, "Computer" under it with
// the mounted file systems, and the folders below them. A folder's subfolders
// are read when it is first expanded, sorted without regard to letter case,
// and kept current while it is shown: folders that appear or vanish on disk
// appear or vanish in the tree.
class FolderTree final : public QTreeWidget {
    Q_OBJECT
public:
    explicit FolderTree(QWidget* parent = nullptr);

    // The selected folder's path; empty when nothing or "Computer" is selected.
    QString selectedFolderPath() const;

    DisplayMode displayMode() const { return displayMode_; }
    void setDisplayMode(DisplayMode mode);

    // The node for a folder path, loading the folders on the way; nullptr when
    // the path is not under the root or a drive.
    QTreeWidgetItem* nodeFor(const QString& path);
    QTreeWidgetItem* computerNode() const { return computer_; }

private:
    enum Role { PathRole = Qt::UserRole, NameRole, LoadedRole, KindRole };
    enum Kind { Folder = 0, Computer = 3, Root = 4 };

    // A node for the folder at path, not yet in the tree.
    QTreeWidgetItem* makeNode(const QTreeWidgetItem* parent, const QString& path, const QString& name, int kind) const;
    // A node appended to parent's children (or the tree's top level).
    QTreeWidgetItem* addNode(QTreeWidgetItem* parent, const QString& path, const QString& name, int kind);
    void loadChildren(QTreeWidgetItem* node);
    void refresh(QTreeWidgetItem* node);
    void folderChanged(const QString& path);
    QTreeWidgetItem* findLoaded(const QString& path) const;
    QString caption(const QString& name) const;

    // A style makes its pictures anew each time it is asked, at a cost that
    // counts for thousands of folders.
    QIcon folderIcon_;
    QIcon driveIcon_;
    QTreeWidgetItem* root_ = nullptr;
    QTreeWidgetItem* computer_ = nullptr;
    QFileSystemWatcher watcher_;
    DisplayMode displayMode_ = DisplayMode::dmAsis;
};

} // namespace vextral::gui
