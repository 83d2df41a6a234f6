#include "gui/commands/HarvestCommands.h"

#include "gui/app/MainView.h"
#include "gui/common/Choosers.h"
#include "gui/common/Prompts.h"
#include "gui/iconlist/ListWidgetSource.h"
#include "harvest/HarvestRun.h"

#include <QCheckBox>
#include <QListWidget>

#include <exception>
#include <optional>

namespace vextral::gui {

namespace {

void flip(QCheckBox& box) { box.setChecked(!box.isChecked()); }

// The selected entry goes; the current entry alone (the one with the focus
// frame, which need not be selected) does not.
void deleteSelectedEntry(QListWidget& list)
{
    const QList<QListWidgetItem*> selected = list.selectedItems();
    if (!selected.isEmpty()) delete selected.first();
}

} // namespace

void HarvestCommands::toggleFolderScan() { flip(view_.scanFoldersSwitch()); }

void HarvestCommands::toggleFileScan() { flip(view_.scanFilesSwitch()); }

void HarvestCommands::startHarvest()
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

void HarvestCommands::stopHarvest() { view_.harvestRun().stop(); }

void HarvestCommands::addFolder()
{
    const QString folder = chooseFolder(view_.prompts(), settings::Chooser::AddFolder, view_.windowWidget(),
                                        QStringLiteral("Please select a directory to scan."));
    if (folder.isEmpty()) return;
    addSourceEntry(view_.folderList(), folder);
    view_.noteRecentSource(folder);
}

void HarvestCommands::deleteSelectedFolder() { deleteSelectedEntry(view_.folderList()); }

void HarvestCommands::deleteAllFolders() { view_.folderList().clear(); }

void HarvestCommands::addFile()
{
    const QList<FileFilter> filters = {
        {QStringLiteral("exe,dll,cpl,scr,icl,ocx,ico,nil,bmp,jpg files"),
         QStringLiteral("*.exe;*.dll;*.cpl;*.scr;*.icl;*.ocx;*.ico;*.nil;*.bmp;*.jpg")},
        {QStringLiteral("Exe files(*.exe)"), QStringLiteral("*.exe")},
        {QStringLiteral("Dll files(*.dll)"), QStringLiteral("*.dll")},
        {QStringLiteral("Cpl files(*.cpl)"), QStringLiteral("*.cpl")},
        {QStringLiteral("Scr files(*.scr)"), QStringLiteral("*.scr")},
        {QStringLiteral("Icl files(*.icl)"), QStringLiteral("*.icl")},
        {QStringLiteral("Ocx files(*.ocx)"), QStringLiteral("*.ocx")},
        {QStringLiteral("Ico files(*.ico)"), QStringLiteral("*.ico")},
        {QStringLiteral("Nil files(*.nil)"), QStringLiteral("*.nil")},
        {QStringLiteral("Bmp files(*.bmp)"), QStringLiteral("*.bmp")},
        {QStringLiteral("Jpg files(*.jpg)"), QStringLiteral("*.jpg")},
        {QStringLiteral("All files(*.*)"), QStringLiteral("*.*")},
    };
    const QString file = chooseFile(view_.prompts(), settings::Chooser::AddFile, view_.windowWidget(),
                                    QStringLiteral("Open file"), filters);
    if (file.isEmpty()) return;
    addSourceEntry(view_.fileList(), file);
    view_.noteRecentSource(file);
}

void HarvestCommands::deleteSelectedFile() { deleteSelectedEntry(view_.fileList()); }

void HarvestCommands::deleteAllFiles() { view_.fileList().clear(); }

} // namespace vextral::gui
