#include "gui/ToolCommands.h"

#include "gui/CaptureDialog.h"
#include "gui/CaptureOverlay.h"
#include "gui/DialogHost.h"
#include "gui/MainView.h"
#include "gui/Prompts.h"

namespace vextral::gui {

namespace {

void notAvailable(MainView& view, const char* command)
{
    view.prompts().information(view.windowWidget(), QStringLiteral("\"%1\" is not available yet.").arg(command));
}

} // namespace

// The icon editor.
void ToolCommands::menuEditClick() { notAvailable(view_, "Edit"); }

// Screen capture.
void ToolCommands::menuCaptureClick()
{
    view_.dialogs().show(new CaptureDialog(view_.savePicture(), view_.settings(), view_.prompts(),
                                           &overlayCaptureBackend(), view_.windowWidget()));
}

// The mail dialog.
void ToolCommands::menuFriendClick() { notAvailable(view_, "Share Icons With Friends"); }

// The update check.
void ToolCommands::menuCheckClick() { notAvailable(view_, "Check for the latest version"); }

} // namespace vextral::gui
