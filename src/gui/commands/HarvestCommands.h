#pragma once

namespace vextral::gui {

class MainView;

// The harvest's commands: the two scan switches, Start and Stop, and the
// buttons under the folder and file lists.
class HarvestCommands {
public:
    explicit HarvestCommands(MainView& view) : view_(view) {}

    void toggleFolderScan();
    void toggleFileScan();
    // Returns when the run has ended.
    void startHarvest();
    void stopHarvest();

    // Deleting the selected entry does nothing when none is selected.
    void addFolder();
    void deleteSelectedFolder();
    void deleteAllFolders();
    void addFile();
    void deleteSelectedFile();
    void deleteAllFiles();

private:
    MainView& view_;
};

} // namespace vextral::gui
