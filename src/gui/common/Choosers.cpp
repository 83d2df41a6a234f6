#include "gui/common/Choosers.h"

#include <QDir>
#include <QFileInfo>

namespace vextral::gui {

namespace {

QString& folderOf(Prompts& prompts, settings::Chooser chooser)
{
    return prompts.chooserFolders[static_cast<std::size_t>(chooser)];
}

} // namespace

QString rememberedFolder(const Prompts& prompts, settings::Chooser chooser)
{
    return prompts.chooserFolders[static_cast<std::size_t>(chooser)];
}

void rememberFolder(Prompts& prompts, settings::Chooser chooser, const QString& folder)
{
    if (!folder.isEmpty()) folderOf(prompts, chooser) = QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
}

QString chooseFolder(Prompts& prompts, settings::Chooser chooser, QWidget* parent, const QString& title)
{
    prompts.startNextIn(folderOf(prompts, chooser));
    QString folder = prompts.browseFolder(parent, title);
    rememberFolder(prompts, chooser, folder);
    return folder;
}

QString chooseFile(Prompts& prompts, settings::Chooser chooser, QWidget* parent, const QString& title,
                   const QList<FileFilter>& filters)
{
    prompts.startNextIn(folderOf(prompts, chooser));
    QString file = prompts.openFile(parent, title, filters);
    if (!file.isEmpty()) rememberFolder(prompts, chooser, QFileInfo(file).absolutePath());
    return file;
}

SaveChoice chooseSaveFile(Prompts& prompts, settings::Chooser chooser, QWidget* parent, const QString& title,
                          const QStringList& filters, int filterIndex, const QString& defaultSuffix,
                          const QString& initialName)
{
    prompts.startNextIn(folderOf(prompts, chooser));
    SaveChoice choice = prompts.saveFile(parent, title, filters, filterIndex, defaultSuffix, initialName);
    if (!choice.fileName.isEmpty()) rememberFolder(prompts, chooser, QFileInfo(choice.fileName).absolutePath());
    return choice;
}

} // namespace vextral::gui
