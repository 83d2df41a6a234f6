#pragma once

namespace vextral::gui {

class MainView;

// The commands that hand the selected icon, or the program, to the desktop:
// the clipboard, the wallpaper, the external editor, the user guide, the home
// page and a mail to the author.
class DesktopCommands {
public:
    explicit DesktopCommands(MainView& view) : view_(view) {}

    void menuClipboardClick();
    void menuCentreClick();
    void menuTiledClick();
    void menuStretchClick();
    void menuRunClick();
    void tbtHelpClick();
    void menuHompageClick();
    void menuEmailClick();

private:
    MainView& view_;
};

} // namespace vextral::gui
