#pragma once

#include <QIcon>

namespace vextral::gui {

// The pictures of the toolbar (32 x 32), of the source-list buttons and of
// the options dialog's browse button (20 x 20): the SVG files of app/toolbar/,
// built into the program, so they look the same on every desktop.
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

// The picture drawn at its own size and at twice it; a null icon should its
// file be missing or unreadable.
QIcon toolbarPicture(Picture picture);
// The picture's file among the program's resources (":/toolbar/save.svg").
QString toolbarPicturePath(Picture picture);

} // namespace vextral::gui
