#pragma once

namespace vextral::gui {

class MainView;

// The commands about the program itself: Exit, Options and About.
class ProgramCommands {
public:
    explicit ProgramCommands(MainView& view) : view_(view) {}

    void menuExitClick();
    void menuOptionsClick();
    void menuAboutClick();

private:
    MainView& view_;
};

} // namespace vextral::gui
