#pragma once

namespace vextral::gui {

class MainView;

// The icon list's commands: Clean, the two ways of showing the icons, and
// the two switches of the Options menu (duplicates shown, best images used).
class IconListCommands {
public:
    explicit IconListCommands(MainView& view) : view_(view) {}

    void cleanIconList();
    void showLargeIcons();
    void showList();
    void showDetails();
    // One step of the icon sizes up or down.
    void zoomIn();
    void zoomOut();
    void filterIcons();
    // Switches Icon/Unique in Option.ini; the next harvest obeys it.
    void toggleHideDuplicates();
    // Switches Icon/BestImage in Option.ini: Save all, the web gallery and
    // printing draw each icon from its own best image.
    void toggleBestImage();
    // Icon/Transparent: pictures saved or copied keep the icons' transparency.
    void toggleTransparency();
    // Icon/Cursors: the next harvest takes the cursors of programs too.
    void toggleCursors();

private:
    // Writes the Icon section's key as the opposite of current, then reloads
    // the settings, which puts the menu item in step with the file.
    void toggleIconSetting(const char* key, bool current);

    MainView& view_;
};

} // namespace vextral::gui
