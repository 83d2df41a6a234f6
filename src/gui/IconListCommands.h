#pragma once

namespace vextral::gui {

class MainView;

// The icon list's commands: Clean, the two ways of showing the icons and
// whether duplicates are shown.
class IconListCommands {
public:
    explicit IconListCommands(MainView& view) : view_(view) {}

    void menuCleanClick();
    void menuLargeIconClick();
    void menuListClick();
    // Switches Icon/Unique in Option.ini; the next harvest obeys it.
    void menuUniqueClick();

private:
    MainView& view_;
};

} // namespace vextral::gui
