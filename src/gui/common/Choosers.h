#pragma once

#include "gui/common/Prompts.h"
#include "settings/WindowState.h"

namespace vextral::gui {

// The prompts' folder browser, open and save dialogs for one of the program's
// choosers: each opens in the folder that chooser used last
// (Prompts::chooserFolders) and, when the user chooses, remembers the folder
// chosen, or the folder of the file chosen. A cancelled dialog changes nothing.
QString chooseFolder(Prompts& prompts, settings::Chooser chooser, QWidget* parent, const QString& title);
QString chooseFile(Prompts& prompts, settings::Chooser chooser, QWidget* parent, const QString& title,
                   const QList<FileFilter>& filters);
SaveChoice chooseSaveFile(Prompts& prompts, settings::Chooser chooser, QWidget* parent, const QString& title,
                          const QStringList& filters, int filterIndex, const QString& defaultSuffix,
                          const QString& initialName);

// For choosers that are no prompts (Save all's folder tree, a folder typed in).
QString rememberedFolder(const Prompts& prompts, settings::Chooser chooser);
// Remembers folder, made absolute; an empty one is not remembered.
void rememberFolder(Prompts& prompts, settings::Chooser chooser, const QString& folder);

} // namespace vextral::gui
