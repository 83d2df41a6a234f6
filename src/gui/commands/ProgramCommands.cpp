#include "gui/commands/ProgramCommands.h"

#include "gui/about/AboutDialog.h"
#include "gui/common/DialogHost.h"
#include "gui/app/MainView.h"
#include "gui/options/OptionsDialog.h"
#include "gui/common/Prompts.h"

#include <QScreen>
#include <QWidget>

namespace vextral::gui {

void ProgramCommands::menuExitClick() { view_.windowWidget()->close(); }

void ProgramCommands::menuOptionsClick()
{
    QWidget* window = view_.windowWidget();
    auto* dialog = new OptionsDialog(
        settings::ProfileFile(view_.settingsPath()), view_.prompts(), [this] { view_.formCreate(); }, window);
    if (const QScreen* screen = window->screen())
        dialog->move(screen->availableGeometry().center() - dialog->rect().center());
    view_.dialogs().show(dialog);
    if (const auto& problem = dialog->loadProblem()) view_.prompts().error(dialog, QString::fromStdString(*problem));
}

void ProgramCommands::menuAboutClick() { view_.dialogs().show(new AboutDialog(view_.windowWidget())); }

} // namespace vextral::gui
