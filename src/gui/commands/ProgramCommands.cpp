#include "gui/commands/ProgramCommands.h"

#include "gui/about/AboutDialog.h"
#include "gui/app/MainView.h"
#include "gui/common/DialogHost.h"
#include "gui/common/Prompts.h"
#include "gui/options/OptionsDialog.h"

#include <QScreen>
#include <QWidget>

namespace vextral::gui {

void ProgramCommands::exitProgram() { view_.windowWidget()->close(); }

void ProgramCommands::openOptions()
{
    QWidget* window = view_.windowWidget();
    auto* dialog = new OptionsDialog(
        settings::ProfileFile(view_.settingsPath()), view_.prompts(), [this] { view_.loadSettings(); }, window);
    if (const QScreen* screen = window->screen())
        dialog->move(screen->availableGeometry().center() - dialog->rect().center());
    view_.dialogs().show(dialog);
    if (const auto& problem = dialog->loadProblem()) view_.prompts().error(dialog, QString::fromStdString(*problem));
}

void ProgramCommands::openAbout() { view_.dialogs().show(new AboutDialog(view_.windowWidget())); }

} // namespace vextral::gui
