#include "gui/PendingCommands.h"

#include "gui/MainView.h"
#include "gui/Prompts.h"

namespace vextral::gui {

void PendingCommands::notAvailable(const QString& command)
{
    view_.prompts().information(view_.windowWidget(), QStringLiteral("\"%1\" is not available yet.").arg(command));
}

std::function<void()> PendingCommands::handler(const QString& command)
{
    return [this, command] { notAvailable(command); };
}

} // namespace vextral::gui
