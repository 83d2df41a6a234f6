#pragma once

namespace vextral::gui {

class MainView;

// The commands about the program itself: Exit, Options and About.
class ProgramCommands {
public:
    explicit ProgramCommands(MainView& view) : view_(view) {}

    void exitProgram();
    void openOptions();
    void openAbout();

private:
    MainView& view_;
};

} // namespace vextral::gui
