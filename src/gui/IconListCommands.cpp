#include "gui/IconListCommands.h"

#include "gui/MainView.h"
#include "gui/Prompts.h"
#include "settings/ProfileFile.h"
#include "settings/Settings.h"

#include <exception>

namespace vextral::gui {

void IconListCommands::menuCleanClick() { view_.cleanIconList(); }

void IconListCommands::menuLargeIconClick() { view_.showIcons(IconLayout::LargeIcon); }

void IconListCommands::menuListClick() { view_.showIcons(IconLayout::List); }

void IconListCommands::menuUniqueClick()
{
    const settings::ProfileFile file(view_.settingsPath());
    try {
        settings::ProfileFile::Batch batch(file);
        batch.writeBool("Icon", "Unique", !view_.settings().unique);
        batch.commit();
    } catch (const std::exception& e) {
        view_.prompts().error(view_.windowWidget(), QString::fromUtf8(e.what()));
    }
    // Reloading puts the menu item in step with what the file now holds.
    view_.formCreate();
}

} // namespace vextral::gui
