#include "gui/HarvestCommands.h"

#include "gui/MainView.h"
#include "gui/Prompts.h"
#include "harvest/HarvestRun.h"

#include <QCheckBox>
#include <QListWidget>

#include <exception>
#include <optional>

namespace vextral::gui {

namespace {

void flip(QCheckBox& box) { box.setChecked(!box.isChecked()); }

} // namespace

void HarvestCommands::tbtDirectoryClick() { flip(view_.scanFoldersSwitch()); }

void HarvestCommands::tbtFileClick() { flip(view_.scanFilesSwitch()); }

void HarvestCommands::tbtSearchClick()
{
    if (view_.harvestRun().active()) return;
    // Clean would take the list out from under the run, so it waits for the end.
    view_.setCleanEnabled(false);
    std::optional<QString> failure;
    try {
        view_.harvestRun().start(view_.scanFilesSwitch().isChecked(), view_.scanFoldersSwitch().isChecked());
    } catch (const std::exception& e) {
        // The run did not reach its end: the window closes what it left open
        // so that the next Start works, and the error is shown once it has.
        failure = QString::fromUtf8(e.what());
        view_.recoverFromFailedRun();
    }
    view_.setCleanEnabled(true);
    if (failure) view_.prompts().error(view_.windowWidget(), *failure);
}

void HarvestCommands::menuStopClick() { view_.harvestRun().stop(); }

void HarvestCommands::speedButton1Click()
{
    const QString folder =
        view_.prompts().browseFolder(view_.windowWidget(), QStringLiteral("Please select a directory to scan."));
    if (!folder.isEmpty()) view_.folderList().addItem(folder);
}

void HarvestCommands::speedButton2Click() { delete view_.folderList().currentItem(); }

void HarvestCommands::speedButton3Click() { view_.folderList().clear(); }

void HarvestCommands::speedButton4Click()
{
    const QStringList filters = {QStringLiteral("exe,dll,cpl,scr,icl,ocx,ico,nil,bmp,jpg files (*.exe *.dll *.cpl "
                                                "*.scr *.icl *.ocx *.ico *.nil *.bmp *.jpg)"),
                                 QStringLiteral("Exe files(*.exe) (*.exe)"),
                                 QStringLiteral("Dll files(*.dll) (*.dll)"),
                                 QStringLiteral("Cpl files(*.cpl) (*.cpl)"),
                                 QStringLiteral("Scr files(*.scr) (*.scr)"),
                                 QStringLiteral("Icl files(*.icl) (*.icl)"),
                                 QStringLiteral("Ocx files(*.ocx) (*.ocx)"),
                                 QStringLiteral("Ico files(*.ico) (*.ico)"),
                                 QStringLiteral("Nil files(*.nil) (*.nil)"),
                                 QStringLiteral("Bmp files(*.bmp) (*.bmp)"),
                                 QStringLiteral("Jpg files(*.jpg) (*.jpg)"),
                                 QStringLiteral("All files(*.*) (*)")};
    const QString file = view_.prompts().openFile(view_.windowWidget(), QStringLiteral("Open file"), filters);
    if (!file.isEmpty()) view_.fileList().addItem(file);
}

void HarvestCommands::speedButton5Click() { delete view_.fileList().currentItem(); }

void HarvestCommands::speedButton6Click() { view_.fileList().clear(); }

} // namespace vextral::gui
