#include "gui/IconListCommands.h"

#include "gui/MainView.h"

namespace vextral::gui {

void IconListCommands::menuCleanClick() { view_.cleanIconList(); }

void IconListCommands::menuLargeIconClick() { view_.showIcons(IconLayout::LargeIcon); }

void IconListCommands::menuListClick() { view_.showIcons(IconLayout::List); }

} // namespace vextral::gui
