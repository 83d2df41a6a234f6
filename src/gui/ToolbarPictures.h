#pragma once

#include <QIcon>

namespace vextral::gui {

// The pictures of the toolbar (32 x 32) and of the source-list buttons
// (20 x 20), drawn here so they look the same on every desktop.
enum class Picture {
    Files, Folders, Start, Stop, Save, SaveAll, Print, Edit, Options, Convert, Capture, Share, WebPage, Help,
    AddFolder, DeleteFolder, DeleteAllFolders, AddFile, DeleteFile, DeleteAllFiles
};

QIcon toolbarPicture(Picture picture);

} // namespace vextral::gui
