#pragma once

namespace vextral::gui {

class MainView;

// The harvest's commands: the two scan switches, Start and Stop, and the
// buttons under the folder and file lists.
class HarvestCommands {
public:
    explicit HarvestCommands(MainView& view) : view_(view) {}

    void tbtDirectoryClick(); // Extract From Folders: flips the switch
    void tbtFileClick();      // Extract From Files: flips the switch
    void tbtSearchClick();    // Start: returns when the run has ended
    void menuStopClick();

    void speedButton1Click(); // add a folder
    void speedButton2Click(); // delete the selected folder (none selected: nothing)
    void speedButton3Click(); // delete all folders
    void speedButton4Click(); // add a file
    void speedButton5Click(); // delete the selected file (none selected: nothing)
    void speedButton6Click(); // delete all files

private:
    MainView& view_;
};

} // namespace vextral::gui
