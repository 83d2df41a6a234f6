#include "gui/DesktopCommands.h"

#include "gui/MainView.h"
#include "gui/Prompts.h"

namespace vextral::gui {

namespace {

void notAvailable(MainView& view, const char* command)
{
    view.prompts().information(view.windowWidget(), QStringLiteral("\"%1\" is not available yet.").arg(command));
}

} // namespace

void DesktopCommands::menuClipboardClick() { notAvailable(view_, "Copy to Clipboard"); }
void DesktopCommands::menuCentreClick() { notAvailable(view_, "Set as Wallpaper: Center"); }
void DesktopCommands::menuTiledClick() { notAvailable(view_, "Set as Wallpaper: Tile"); }
void DesktopCommands::menuStretchClick() { notAvailable(view_, "Set as Wallpaper: Stretch"); }
void DesktopCommands::menuRunClick() { notAvailable(view_, "Run Editor"); }
void DesktopCommands::tbtHelpClick() { notAvailable(view_, "Help"); }
void DesktopCommands::menuHompageClick() { notAvailable(view_, "Vextral Homepage"); }
void DesktopCommands::menuEmailClick() { notAvailable(view_, "Email to me"); }

} // namespace vextral::gui
