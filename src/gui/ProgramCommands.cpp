#include "gui/ProgramCommands.h"

#include "gui/AboutDialog.h"
#include "gui/DialogHost.h"
#include "gui/MainView.h"
#include "gui/OptionsDialog.h"
#include "gui/Prompts.h"

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
