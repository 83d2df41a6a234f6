#include "gui/ProgramCommands.h"

#include "gui/AboutDialog.h"
#include "gui/DialogHost.h"
#include "gui/MainView.h"

#include <QWidget>

namespace vextral::gui {

void ProgramCommands::menuExitClick() { view_.windowWidget()->close(); }

void ProgramCommands::menuAboutClick() { view_.dialogs().show(new AboutDialog(view_.windowWidget())); }

} // namespace vextral::gui
