#pragma once

namespace vextral::gui {

class MainView;

// The commands about the program itself: Exit and About.
class ProgramCommands {
public:
    explicit ProgramCommands(MainView& view) : view_(view) {}

    void menuExitClick();
    void menuAboutClick();

private:
    MainView& view_;
};

} // namespace vextral::gui
