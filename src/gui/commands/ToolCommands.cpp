#include "gui/commands/ToolCommands.h"

#include "gui/app/MainView.h"
#include "gui/capture/CaptureDialog.h"
#include "gui/capture/CaptureOverlay.h"
#include "gui/common/DialogHost.h"
#include "gui/common/Prompts.h"
#include "gui/edit/EditDialog.h"
#include "gui/mail/FriendDialog.h"
#include "gui/update/CheckDialog.h"
#include "harvest/IconCatalogue.h"

#include <QScreen>
#include <QWidget>

namespace vextral::gui {

// The icon editor.
void ToolCommands::editIcon()
{
    const int i = view_.selectedIndex();
    if (i < 0 || i >= view_.catalogue().itemCount()) {
        view_.prompts().information(view_.windowWidget(), QStringLiteral("Please select an icon to edit."));
        return;
    }
    auto* dialog = new EditDialog(view_.catalogue(), i, view_.savePicture(), view_.prompts(), view_.windowWidget());
    // Centred on the screen.
    dialog->adjustSize();
    if (const QScreen* screen = view_.windowWidget()->screen())
        dialog->move(screen->availableGeometry().center() - dialog->rect().center());
    view_.dialogs().show(dialog);
}

// Screen capture.
void ToolCommands::captureScreen()
{
    view_.dialogs().show(new CaptureDialog(view_.savePicture(), view_.settings(), view_.prompts(),
                                           &overlayCaptureBackend(), view_.windowWidget()));
}

// The mail dialog.
void ToolCommands::mailFriends()
{
    view_.dialogs().show(new FriendDialog(
        view_.settingsPath(), view_.prompts(), [this](QDialog* dialog) { view_.dialogs().show(dialog); },
        [this] { view_.loadSettings(); }, view_.windowWidget()));
}

// The update check.
void ToolCommands::checkForUpdate()
{
    view_.dialogs().show(
        new CheckDialog(view_.programFolder(), view_.settingsPath(), view_.prompts(), view_.windowWidget()));
}

} // namespace vextral::gui
