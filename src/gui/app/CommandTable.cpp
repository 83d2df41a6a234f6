#include "gui/app/CommandTable.h"

#include "gui/app/ToolbarKeys.h"

#include "gui/commands/DesktopCommands.h"
#include "gui/commands/HarvestCommands.h"
#include "gui/commands/IconListCommands.h"
#include "gui/commands/ProgramCommands.h"
#include "gui/commands/SaveCommands.h"
#include "gui/commands/ToolCommands.h"

#include <QAction>
#include <QActionGroup>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>
#include <QToolButton>

namespace vextral::gui {

namespace {

using Kind = CommandRow::Kind;
using Check = CommandRow::Check;
using Handler = std::function<void()>;

CommandRow row(Kind kind, const char* name = "", const char* caption = "")
{
    CommandRow r;
    r.kind = kind;
    r.name = name;
    r.caption = caption;
    return r;
}

CommandRow menu(const char* caption) { return row(Kind::Menu, "", caption); }
CommandRow submenu(const char* name, const char* caption) { return row(Kind::Submenu, name, caption); }
CommandRow endSubmenu() { return row(Kind::EndSubmenu); }
CommandRow popup(const char* name) { return row(Kind::Popup, name); }
CommandRow toolbar(const char* name, const char* title) { return row(Kind::Toolbar, name, title); }
CommandRow separator() { return row(Kind::Separator); }

CommandRow item(const char* name, const char* caption, const char* shortcut, const char* hint, Handler handler,
                Check check = Check::None)
{
    CommandRow r = row(Kind::Command, name, caption);
    r.shortcut = shortcut;
    r.hint = hint;
    r.handler = std::move(handler);
    r.check = check;
    return r;
}

CommandRow button(const char* name, const char* hint, Picture picture, Handler handler, Check check = Check::None)
{
    CommandRow r = item(name, "", "", hint, std::move(handler), check);
    r.picture = picture;
    return r;
}

template <typename Commands>
Handler on(Commands& commands, void (Commands::*method)())
{
    return [&commands, method] { (commands.*method)(); };
}

QString text(const char* utf8) { return QString::fromUtf8(utf8); }

QAction* addItem(QMainWindow& window, QMenu& menu, const CommandRow& r, QActionGroup*& radios)
{
    auto* action = new QAction(text(r.caption), &window);
    action->setObjectName(text(r.name));
    action->setStatusTip(text(r.hint));
    if (*r.shortcut) action->setShortcut(QKeySequence(text(r.shortcut)));
    if (r.check != Check::None) action->setCheckable(true);
    if (r.check == Check::Radio || r.check == Check::RadioOn) {
        if (!radios) radios = new QActionGroup(&window);
        radios->addAction(action);
    }
    action->setChecked(r.check == Check::On || r.check == Check::RadioOn);
    QObject::connect(action, &QAction::triggered, &window, [handler = r.handler] { handler(); });
    menu.addAction(action);
    return action;
}

QToolButton* addButton(QMainWindow& window, QToolBar& toolbar, const CommandRow& r)
{
    auto* button = new QToolButton(&window);
    button->setObjectName(text(r.name));
    button->setToolTip(text(r.hint));
    button->setStatusTip(text(r.hint));
    // A button shows only its picture: a screen reader says its command.
    button->setAccessibleName(text(r.hint));
    if (r.picture) button->setIcon(toolbarPicture(*r.picture));
    button->setIconSize(QSize(32, 32));
    button->setFixedSize(39, 39);
    button->setAutoRaise(true);
    button->setCheckable(r.check != Check::None);
    button->setChecked(r.check == Check::On || r.check == Check::RadioOn);
    QObject::connect(button, &QToolButton::clicked, &window, [handler = r.handler] { handler(); });
    toolbar.addWidget(button);
    return button;
}

QToolBar* addToolbar(QMainWindow& window, const CommandRow& r)
{
    auto* toolbar = new QToolBar(text(r.caption), &window);
    toolbar->setObjectName(text(r.name));
    toolbar->setMovable(false);
    toolbar->setFloatable(false);
    toolbar->setIconSize(QSize(32, 32));
    toolbar->setContextMenuPolicy(Qt::PreventContextMenu);
    window.addToolBar(Qt::TopToolBarArea, toolbar);
    return toolbar;
}

} // namespace

std::vector<CommandRow> mainCommandRows(const CommandSet& c)
{
    // One handler per command, shared by its menu item, pop-up item and button.
    const Handler folders = on(c.harvest, &HarvestCommands::toggleFolderScan);
    const Handler files = on(c.harvest, &HarvestCommands::toggleFileScan);
    const Handler start = on(c.harvest, &HarvestCommands::startHarvest);
    const Handler stop = on(c.harvest, &HarvestCommands::stopHarvest);
    const Handler exit = on(c.program, &ProgramCommands::exitProgram);
    const Handler save = on(c.save, &SaveCommands::saveSelectedIcon);
    const Handler saveAll = on(c.save, &SaveCommands::saveAll);
    const Handler print = on(c.save, &SaveCommands::printIcons);
    const Handler clean = on(c.iconList, &IconListCommands::cleanIconList);
    const Handler edit = on(c.tools, &ToolCommands::editIcon);
    const Handler runEditor = on(c.desktop, &DesktopCommands::runEditor);
    const Handler clipboard = on(c.desktop, &DesktopCommands::copyToClipboard);
    const Handler largeIcon = on(c.iconList, &IconListCommands::showLargeIcons);
    const Handler list = on(c.iconList, &IconListCommands::showList);
    const Handler details = on(c.iconList, &IconListCommands::showDetails);
    const Handler zoomIn = on(c.iconList, &IconListCommands::zoomIn);
    const Handler zoomOut = on(c.iconList, &IconListCommands::zoomOut);
    const Handler filter = on(c.iconList, &IconListCommands::filterIcons);
    const Handler bestImage = on(c.iconList, &IconListCommands::toggleBestImage);
    const Handler unique = on(c.iconList, &IconListCommands::toggleHideDuplicates);
    const Handler transparent = on(c.iconList, &IconListCommands::toggleTransparency);
    const Handler cursors = on(c.iconList, &IconListCommands::toggleCursors);
    const Handler eachImage = on(c.save, &SaveCommands::saveEachImage);
    const Handler options = on(c.program, &ProgramCommands::openOptions);
    const Handler webPage = on(c.save, &SaveCommands::createWebPage);
    const Handler convert = on(c.save, &SaveCommands::openConverter);
    const Handler share = on(c.tools, &ToolCommands::mailFriends);
    const Handler capture = on(c.tools, &ToolCommands::captureScreen);
    const Handler check = on(c.tools, &ToolCommands::checkForUpdate);
    const Handler centre = on(c.desktop, &DesktopCommands::wallpaperCentred);
    const Handler tile = on(c.desktop, &DesktopCommands::wallpaperTiled);
    const Handler stretch = on(c.desktop, &DesktopCommands::wallpaperStretched);
    const Handler help = on(c.desktop, &DesktopCommands::openHelp);
    const Handler homepage = on(c.desktop, &DesktopCommands::openHomepage);
    const Handler email = on(c.desktop, &DesktopCommands::mailAuthor);
    const Handler about = on(c.program, &ProgramCommands::openAbout);

    return {
        menu("&Action"),
        item("menuFolders", "Extract From &Folders", "Ctrl+D", "Extract icons from selected folders", folders,
             Check::On),
        item("menuFiles", "Extract From F&iles", "Ctrl+Shift+F", "Extract icons from selected files", files, Check::On),
        item("menuStart", "&Start", "Ctrl+B", "Start extracting icons", start),
        item("menuStop", "S&top", "Esc", "Stop extracting icons", stop),
        separator(),
        // Filled with the recent sources by the window (RecentMenu).
        submenu("menuRecent", "&Recent"),
        endSubmenu(),
        separator(),
        item("menuExit", "E&xit", "", "Exit the program", exit),

        menu("&Icon"),
        item("menuSave", "&Save", "Ctrl+S", "Save selected icon", save),
        item("menuSaveall", "Save &all...", "", "Save all icons", saveAll),
        item("menuPrint", "&Print...", "Ctrl+P", "Print icon", print),
        item("menuClean", "C&lean", "", "Clean icon list", clean),
        item("menuEdit", "&Edit...", "Ctrl+E", "Edit selected icon", edit),
        item("menuRun", "&Run Editor", "Ctrl+I", "Run icon editor", runEditor),
        separator(),
        item("menuClipboard", "&Copy to Clipboard", "Ctrl+C", "Copy selected icon to clipboard", clipboard),

        menu("&Options"),
        item("menuLargeIcon", "Large &Icon", "", "View icons as large icon", largeIcon, Check::RadioOn),
        item("menuList", "&List", "", "View icons as list", list, Check::Radio),
        item("menuDetails", "De&tails", "", "View icons with their source, index and images", details, Check::Radio),
        // Checked or not as Icon/BestImage says, once the settings are read.
        item("menuBestImage", "Use each icon's &best image", "",
             "Draw saved, web page and printed pictures from each icon's own best image", bestImage, Check::On),
        item("menuUnique", "Hide &duplicates", "", "Show each icon once, from the next harvest on", unique, Check::Off),
        item("menuTransparent", "Transparent bac&kground", "",
             "Keep each icon's transparency in PNG, TGA, TIFF, ICO and CUR pictures and on the clipboard", transparent,
             Check::Off),
        item("menuCursors", "Include &cursors", "",
             "Harvest the cursors of programs and libraries too, from the next harvest on", cursors, Check::Off),
        separator(),
        item("menuZoomIn", "Zoom I&n", "Ctrl++", "Draw the icons larger", zoomIn),
        item("menuZoomOut", "Zoom O&ut", "Ctrl+-", "Draw the icons smaller", zoomOut),
        item("menuFilter", "&Filter Icons", "Ctrl+F", "Show only the icons that match a filter", filter),
        separator(),
        item("menuOptions", "&Options...", "Ctrl+O", "Change options", options),

        menu("&Tools"),
        item("menuWebPage", "Create Web &File...", "Ctrl+H", "Create a web file to browse icons", webPage),
        item("menuConvert", "Con&vert...", "", "Convert image format", convert),
        item("menuFriend", "&Share Icons With Friends...", "", "Share icons with friends by Email", share),
        item("menuCapture", "&Capture Screen...", "", "", capture),
        item("menuCheck", "Check for the &latest version...", "Ctrl+U",
             "Connect to Internet and check for the latest version", check),
        submenu("menuWallpaper", "Set as &Wallpaper"),
        item("menuCentre", "&Center", "", "Centre the icon", centre),
        item("menuTiled", "&Tile", "", "Tile the icon", tile),
        item("menuStretch", "&Stretch", "", "Stretch the icon", stretch),
        endSubmenu(),

        menu("&Help"),
        item("menuContents", "&Contents", "F1", "Open help file", help),
        separator(),
        item("menuHompage", "Vextral &Homepage", "", "Vextral Homepage", homepage),
        item("menuEmail", "&Email to me", "", "Drop an Email to me", email),
        separator(),
        item("menuAbout", "&About...", "", "", about),

        // "Save all" and "Print" here run the main menu's commands.
        popup("PopupMenu1"),
        item("popupSave", "&Save", "", "Save selected icon", save),
        item("popupSaveall", "Save &all...", "", "Save all icons", saveAll),
        item("popupEdit", "&Edit...", "", "Edit select icon", edit),
        item("popupPrint", "&Print...", "", "Print icons", print),
        item("popupClipboard", "&Copy to Clipboard", "", "Copy selected icon to clipboard", clipboard),
        item("popupEachImage", "Save each &image...", "", "Save every image of the selected icons as PNG files",
             eachImage),
        separator(),
        submenu("popupWallpaper", "Set as &Wallpaper"),
        item("popupCentre", "&Center", "", "Center the icon", centre),
        item("popupTiled", "&Tile", "", "Tile the icon", tile),
        item("popupStretch", "&Stretch", "", "Stretch the icon", stretch),
        endSubmenu(),

        // Five buttons bear names that do not match their commands: the hint
        // and the handler are what count.
        toolbar("ToolBar1", "Toolbar"),
        button("tbtFile", "Extract from files", Picture::Files, files, Check::On),
        button("tbtDirectory", "Extract from folders", Picture::Folders, folders, Check::On),
        button("tbtSearch", "Start", Picture::Start, start),
        button("tbtStop", "Stop", Picture::Stop, stop),
        separator(),
        button("tbtSaveall", "Save", Picture::Save, save),
        button("tbtPrint", "Save all", Picture::SaveAll, saveAll),
        button("tbtEdit", "Print", Picture::Print, print),
        button("tbtCentre", "Edit", Picture::Edit, edit),
        button("tbtTile", "Options", Picture::Options, options),
        button("tbtConvert", "Convert", Picture::Convert, convert),
        button("tbtCapture", "Capture screen", Picture::Capture, capture),
        button("tbtFriend", "Share Icons With Friends", Picture::Share, share),
        button("tbtWebPage", "Create a Web Page", Picture::WebPage, webPage),
        separator(),
        button("tbtHelp", "Help", Picture::Help, help),
    };
}

QMenu* buildCommands(QMainWindow& window, const std::vector<CommandRow>& rows)
{
    QMenu* menu = nullptr;   // where items go
    QMenu* outer = nullptr;  // the menu a sub-menu returns to
    QToolBar* bar = nullptr; // where buttons go, once opened
    QMenu* popupMenu = nullptr;
    QActionGroup* radios = nullptr;
    for (const CommandRow& r : rows) {
        switch (r.kind) {
        case Kind::Menu:
            menu = window.menuBar()->addMenu(text(r.caption));
            radios = nullptr;
            break;
        case Kind::Submenu:
            if (!menu) break; // a submenu belongs to a menu row above it
            outer = menu;
            menu = menu->addMenu(text(r.caption));
            menu->setObjectName(text(r.name));
            menu->menuAction()->setObjectName(text(r.name));
            radios = nullptr;
            break;
        case Kind::EndSubmenu: menu = outer; break;
        case Kind::Popup:
            menu = popupMenu = new QMenu(&window);
            popupMenu->setObjectName(text(r.name));
            radios = nullptr;
            break;
        case Kind::Toolbar:
            bar = addToolbar(window, r);
            menu = nullptr;
            break;
        case Kind::Separator:
            if (menu) {
                menu->addSeparator();
            } else if (bar) {
                bar->addSeparator();
            }
            break;
        case Kind::Command:
            if (menu) {
                addItem(window, *menu, r, radios);
            } else if (bar) {
                addButton(window, *bar, r);
            }
            break;
        }
    }
    if (bar) new ToolbarKeys(*bar);
    return popupMenu;
}

} // namespace vextral::gui
