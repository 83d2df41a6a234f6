#pragma once

#include "gui/iconlist/IconLayout.h"

#include <string>
#include <vector>

class QCheckBox;
class QString;
class QListWidget;
class QString;
class QWidget;

namespace vextral {
class HarvestRun;
class IconCatalogue;
} // namespace vextral
namespace vextral::codecs {
class ImageBuffer;
}
namespace vextral::settings {
struct Settings;
}

namespace vextral::gui {

class DialogHost;
class Prompts;
class SavePicture;

// What the command classes see of the main window: the services it owns
// (prompts, dialogs, the shared save-picture dialog, the picture buffer), its
// data (settings, catalogue, selection, the harvest run) and the controls
// that commands read or change. Commands hold a reference to it and never to
// the window's widgets directly.
class MainView {
public:
    virtual ~MainView() = default;

    // The window itself: the parent of prompts and dialogs.
    virtual QWidget* windowWidget() = 0;
    virtual Prompts& prompts() = 0;
    virtual DialogHost& dialogs() = 0;
    virtual SavePicture& savePicture() = 0;
    // The hidden 32 x 32 picture that saving, copying and editing draw the selected icon into.
    virtual codecs::ImageBuffer& imgIcon() = 0;

    virtual const settings::Settings& settings() const = 0;
    // The folder of the program's own files (Option.ini, update.ini, Vextral.bmp, Image.bmp).
    virtual const std::string& programFolder() const = 0;
    // The path of Option.ini, in the program folder.
    virtual std::string settingsPath() const = 0;
    // Loads the settings from Option.ini again, so the next command uses them.
    virtual void loadSettings() = 0;
    virtual const IconCatalogue& catalogue() const = 0;
    // The catalogue position of the current selected icon, or -1.
    virtual int selectedIndex() const = 0;
    // The catalogue positions (0-based) of every selected icon, ascending;
    // empty when none is selected.
    virtual std::vector<int> selectedPositions() const = 0;
    // The catalogue positions of the icons the list shows (those the filter
    // lets through), in the order shown.
    virtual std::vector<int> shownPositions() const = 0;

    virtual HarvestRun& harvestRun() = 0;
    // After a run that ended by an exception: closes what the run left open,
    // enables Start again and puts a fresh run in its place.
    virtual void recoverFromFailedRun() = 0;
    virtual void setCleanEnabled(bool enabled) = 0;
    // The check boxes of the two scan switches; the window keeps their menu
    // item and toolbar button in step.
    virtual QCheckBox& scanFoldersSwitch() = 0;
    virtual QCheckBox& scanFilesSwitch() = 0;
    virtual QListWidget& folderList() = 0;
    virtual QListWidget& fileList() = 0;
    // A source the user has just added to a list (Add, a drop, Recent): it
    // heads the Recent menu.
    virtual void noteRecentSource(const QString& path) = 0;

    // Empties the icon list (the catalogue's items; images and records stay).
    virtual void cleanIconList() = 0;
    virtual void showIcons(IconLayout layout) = 0;
    virtual IconLayout iconLayout() const = 0;
    // The side, in device-independent pixels, the list draws its icons at:
    // one of kZoomSides. setIconZoom takes the nearest of them.
    virtual int iconZoom() const = 0;
    virtual void setIconZoom(int side) = 0;
    // A new folder for files handed to other programs (copies of several
    // icons), kept while the program runs; empty when none can be made.
    virtual QString handOutFolder() = 0;
    // Puts the keyboard in the icon list's filter field.
    virtual void focusIconFilter() = 0;
};

} // namespace vextral::gui
