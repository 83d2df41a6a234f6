#pragma once

#include <QIcon>

namespace vextral::gui {

// The pictures of the toolbar (32 x 32), of the source-list buttons and of
// the options dialog's browse button (20 x 20), drawn here so they look the
// same on every desktop.
enum class Picture {
    Files,
    Folders,
    Start,
    Stop,
    Save,
    SaveAll,
    Print,
    Edit,
    Options,
    Convert,
    Capture,
    Share,
    WebPage,
    Help,
    AddFolder,
    DeleteFolder,
    DeleteAllFolders,
    AddFile,
    DeleteFile,
    DeleteAllFiles,
    Browse
};

QIcon toolbarPicture(Picture picture);

} // namespace vextral::gui
