#pragma once

namespace vextral::gui {

class MainView;

// Saving from the main window: the selected icon through the shared
// save-picture dialog, and every icon through the Save all dialog.
class SaveCommands {
public:
    explicit SaveCommands(MainView& view) : view_(view) {}

    void menuSaveClick();
    void menuSaveallClick();

private:
    MainView& view_;
};

} // namespace vextral::gui
