#pragma once

namespace vextral::gui {

class MainView;

// The icon list's commands: Clean and the two ways of showing the icons.
class IconListCommands {
public:
    explicit IconListCommands(MainView& view) : view_(view) {}

    void menuCleanClick();
    void menuLargeIconClick();
    void menuListClick();

private:
    MainView& view_;
};

} // namespace vextral::gui
