#pragma once

namespace vextral::gui {

class MainView;

// Saving from the main window: the selected icon through the shared
// save-picture dialog, every icon (or those selected, or those shown) through
// the Save all dialog, and any picture file in another format through the
// Convert dialog; printing sheets of them through the Print icons dialog.
class SaveCommands {
public:
    explicit SaveCommands(MainView& view) : view_(view) {}

    // One selected icon: the save-picture dialog; more: Save all on "Selected icons".
    void saveSelectedIcon();
    void saveAll();
    // Every image of the selected icons, at its own size, as PNG files in a folder chosen.
    void saveEachImage();
    void openConverter();
    void createWebPage();
    void printIcons();

private:
    MainView& view_;
};

} // namespace vextral::gui
