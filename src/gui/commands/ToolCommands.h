#pragma once

namespace vextral::gui {

class MainView;

// The commands that open a tool dialog of their own: the icon editor, screen
// capture, the mail dialog and the update check. Each use makes a fresh
// dialog, shown without waiting, with the main window disabled meanwhile.
class ToolCommands {
public:
    explicit ToolCommands(MainView& view) : view_(view) {}

    void editIcon();
    void captureScreen();
    void mailFriends();
    void checkForUpdate();

private:
    MainView& view_;
};

} // namespace vextral::gui
