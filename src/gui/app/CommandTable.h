#pragma once

#include "gui/app/ToolbarPictures.h"

#include <functional>
#include <optional>
#include <vector>

class QMainWindow;
class QMenu;

namespace vextral::gui {

class HarvestCommands;
class IconListCommands;
class DesktopCommands;
class ProgramCommands;
class SaveCommands;
class ToolCommands;

// The command objects whose methods the table's rows call, one per subsystem.
struct CommandSet {
    HarvestCommands& harvest;
    SaveCommands& save;
    IconListCommands& iconList;
    ProgramCommands& program;
    DesktopCommands& desktop;
    ToolCommands& tools;
};

// One row of the command table. Rows are read in order: a Menu row opens a
// menu of the menu bar, Submenu a sub-menu of the open menu (until
// EndSubmenu), Popup the icon list's pop-up menu and Toolbar the toolbar;
// Command and Separator rows go into whichever was opened last. In a menu a
// Command row is an item, on the toolbar a button with its picture.
struct CommandRow {
    enum class Kind { Menu, Submenu, EndSubmenu, Popup, Toolbar, Separator, Command };
    // On: a check item (or toggle button) that starts checked; Off one that
    // starts unchecked. Radio: an item of the open menu's one group of
    // exclusive items; RadioOn starts checked.
    enum class Check { None, On, Radio, RadioOn, Off };

    Kind kind = Kind::Command;
    const char* name = "";          // objectName
    const char* caption = "";       // item text; the title of a menu or the toolbar
    const char* shortcut = "";      // "Ctrl+S", or empty
    const char* hint = "";          // status bar hint; a button's tool tip too (UTF-8)
    std::optional<Picture> picture; // a toolbar button's picture
    std::function<void()> handler;
    Check check = Check::None;
};

// The main window's menu bar, the icon list's pop-up menu and its toolbar.
std::vector<CommandRow> mainCommandRows(const CommandSet& commands);

// Builds rows into window (menu bar and toolbar) and returns the pop-up menu.
QMenu* buildCommands(QMainWindow& window, const std::vector<CommandRow>& rows);

} // namespace vextral::gui
