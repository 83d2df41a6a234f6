#pragma once

#include "settings/WindowState.h"

#include <QString>

#include <memory>

class QMainWindow;
class QSplitter;

namespace vextral::gui {

class MainView;
class RecentMenu;

// What the main window remembers between sessions, kept in Option.ini's
// Window section (settings::WindowState): its geometry, the splitter, the
// source lists, the icon layout and zoom, each chooser's folder (held by the
// prompts) and the Recent submenu, which it fills and whose items it opens.
class WindowMemory {
public:
    // window is the view's window; its splitter ("Splitter1") and Recent
    // submenu ("menuRecent") exist already.
    WindowMemory(QMainWindow& window, MainView& view);
    ~WindowMemory();

    // Before the window shows: its place on the screens (fitted to them; with
    // nothing stored, a size made for the primary screen), the splitter, the
    // layout, the zoom, the choosers' folders and the Recent items. The
    // source lists wait for restoreSourceLists().
    void restore();
    // The stored source lists, into the window's lists; for a start without
    // arguments, whose lists are still empty.
    void restoreSourceLists();
    // Writes the window as it is now into Option.ini, keeping every other
    // section; a failure to write is shown in an error box.
    void save();

    // path heads the Recent submenu.
    void noteRecent(const QString& path);
    // Adds a recent source as Add does: a file to the file list, a folder to
    // the folder list. One that has gone since the menu opened is not added;
    // a message says so.
    void openRecent(const QString& path);

private:
    QMainWindow& window_;
    MainView& view_;
    QSplitter* splitter_ = nullptr;
    settings::WindowState stored_;
    settings::RecentSources recent_;
    std::unique_ptr<RecentMenu> menu_;
};

} // namespace vextral::gui
