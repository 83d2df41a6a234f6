#include "gui/commands/IconListCommands.h"

#include "gui/app/MainView.h"
#include "gui/common/Prompts.h"
#include "settings/ProfileFile.h"
#include "settings/Settings.h"

#include <exception>

namespace vextral::gui {

void IconListCommands::cleanIconList() { view_.cleanIconList(); }

void IconListCommands::showLargeIcons() { view_.showIcons(IconLayout::LargeIcon); }

void IconListCommands::showList() { view_.showIcons(IconLayout::List); }
void IconListCommands::showDetails() { view_.showIcons(IconLayout::Details); }
void IconListCommands::filterIcons() { view_.focusIconFilter(); }

void IconListCommands::zoomIn() { view_.setIconZoom(zoomSideAfter(view_.iconZoom(), 1)); }
void IconListCommands::zoomOut() { view_.setIconZoom(zoomSideAfter(view_.iconZoom(), -1)); }

void IconListCommands::toggleHideDuplicates() { toggleIconSetting("Unique", view_.settings().unique); }

void IconListCommands::toggleBestImage() { toggleIconSetting("BestImage", view_.settings().bestImage); }

void IconListCommands::toggleTransparency() { toggleIconSetting("Transparent", view_.settings().transparent); }

void IconListCommands::toggleCursors() { toggleIconSetting("Cursors", view_.settings().cursors); }

void IconListCommands::toggleIconSetting(const char* key, bool current)
{
    try {
        const settings::ProfileFile file(view_.settingsPath());
        settings::ProfileFile::Batch batch(file);
        batch.writeBool("Icon", key, !current);
        batch.commit();
    } catch (const std::exception& e) {
        view_.prompts().error(view_.windowWidget(), QString::fromUtf8(e.what()));
    }
    view_.loadSettings();
}

} // namespace vextral::gui
