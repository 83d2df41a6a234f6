#pragma once

#include "codecs/ImageBuffer.h"
#include "gui/app/MainView.h"
#include "gui/commands/DesktopCommands.h"
#include "gui/commands/HarvestCommands.h"
#include "gui/commands/IconListCommands.h"
#include "gui/commands/ProgramCommands.h"
#include "gui/commands/SaveCommands.h"
#include "gui/commands/ToolCommands.h"
#include "gui/common/DialogHost.h"
#include "gui/common/Prompts.h"
#include "gui/common/SavePicture.h"
#include "gui/iconlist/IconListModel.h"
#include "gui/iconlist/ListWidgetSource.h"
#include "harvest/HarvestRun.h"
#include "harvest/IconCatalogue.h"
#include "settings/Settings.h"

#include <QElapsedTimer>
#include <QMainWindow>

#include <functional>
#include <memory>
#include <string>

class QAction;
class QCheckBox;
class QLabel;
class QListView;
class QListWidget;
class QMenu;
class QTabWidget;
class QTimer;
class QToolButton;

namespace vextral::gui {

class IconBrowser;
class ProgressPage;
class StatusPanels;
class WindowMemory;

// The main window: the two source lists, the progress page, the icon list and
// the status bar, and the view that its commands work through. The commands
// live in classes by subsystem; the menus and the toolbar that call them are
// built from the command table.
class MainWindow final : public QMainWindow, public MainView, private HarvestView {
    Q_OBJECT
public:
    // Makes the harvest run over the window's catalogue, view and lists.
    using RunFactory = std::function<std::unique_ptr<HarvestRun>(IconCatalogue&, HarvestView&, const SourceList& files,
                                                                 const SourceList& folders, HarvestRun::Pump)>;

    // programFolder holds Option.ini.
    MainWindow(Prompts& prompts, std::string programFolder, QWidget* parent = nullptr);
    ~MainWindow() override;

    // Adds names as a drop from a file manager does: existing files to the
    // file list, everything else to the folder list. Returns the paths added.
    QStringList addDroppedNames(const QStringList& names);

    // Replaces the harvest run by one that factory makes, now and whenever a
    // failed run is replaced. The default makes a HarvestRun.
    void setRunFactory(RunFactory factory);

    const HarvestRun& run() const { return *run_; }
    IconListModel& iconModel() { return *model_; }
    HarvestCommands& harvestCommands() { return harvestCommands_; }

    // MainView
    QWidget* windowWidget() override { return this; }
    Prompts& prompts() override { return prompts_; }
    DialogHost& dialogs() override { return *dialogs_; }
    SavePicture& savePicture() override { return savePicture_; }
    codecs::ImageBuffer& imgIcon() override { return imgIcon_; }
    const settings::Settings& settings() const override { return settings_; }
    const std::string& programFolder() const override { return programFolder_; }
    std::string settingsPath() const override;
    const IconCatalogue& catalogue() const override { return catalogue_; }
    int selectedIndex() const override;
    std::vector<int> selectedPositions() const override;
    std::vector<int> shownPositions() const override;
    HarvestRun& harvestRun() override { return *run_; }
    void recoverFromFailedRun() override;
    void setCleanEnabled(bool enabled) override;
    QCheckBox& scanFoldersSwitch() override { return *chbDirectory_; }
    QCheckBox& scanFilesSwitch() override { return *chbFile_; }
    QListWidget& folderList() override { return *lstDirectory_; }
    QListWidget& fileList() override { return *lstFile_; }
    void noteRecentSource(const QString& path) override;
    void cleanIconList() override;
    void showIcons(IconLayout layout) override;
    IconLayout iconLayout() const override;
    int iconZoom() const override;
    void setIconZoom(int side) override;
    void focusIconFilter() override;
    QString handOutFolder() override;
    IconBrowser& iconBrowser() { return *browser_; }

public slots:
    // Shows record i of the catalogue in status panels 1 to 3.
    void showIconRecord(int i);
    // Loads the settings from Option.ini (at creation, and after the options dialog).
    void loadSettings() override;
    void startFromArguments();

protected:
    bool event(QEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    void dragEnterEvent(QDragEnterEvent* e) override;
    void dropEvent(QDropEvent* e) override;

private:
    // HarvestView
    void showProgressPage() override;
    void setStatus(const std::string& text) override;
    void setFound(const std::string& text) override;
    void setScanned(const std::string& text) override;
    void setExtracted(const std::string& text) override;
    void setGaugeCurrent(int percent) override;
    void setGaugeTotal(int percent) override;
    void setStartMenuEnabled(bool enabled) override;
    void setStartButtonEnabled(bool enabled) override;
    void setStopMenuEnabled(bool enabled) override;
    void beginIconListUpdate() override;
    void endIconListUpdate() override;
    void beginFoundListUpdate() override;
    void endFoundListUpdate() override;

    void buildPanels();
    QWidget* buildSourcePage();
    void buildIconList(QWidget* parent);
    void buildCommands();
    void makeRun();
    template <typename T>
    T* control(const char* name) const;
    void syncFoldersFaces();
    void syncFilesFaces();
    void pump();
    void showHint(const QString& hint);

    Prompts& prompts_;
    std::string programFolder_;
    settings::Settings settings_;
    IconCatalogue catalogue_;
    codecs::ImageBuffer imgIcon_;
    SavePicture savePicture_;
    DialogHost* dialogs_ = nullptr;
    HarvestCommands harvestCommands_;
    SaveCommands saveCommands_;
    IconListCommands iconListCommands_;
    ProgramCommands programCommands_;
    DesktopCommands desktopCommands_;
    ToolCommands toolCommands_;
    std::unique_ptr<ListWidgetSource> fileSource_;
    std::unique_ptr<ListWidgetSource> folderSource_;
    RunFactory runFactory_;
    std::unique_ptr<HarvestRun> run_;
    // The run's update brackets that are open, so a failed run's can be closed.
    bool iconListUpdating_ = false;
    bool foundListUpdating_ = false;
    IconListModel* model_ = nullptr;
    QElapsedTimer sinceSync_;
    QElapsedTimer sincePump_;

    QTabWidget* page1_ = nullptr;
    QWidget* tabFile_ = nullptr;
    QCheckBox* chbDirectory_ = nullptr;
    QCheckBox* chbFile_ = nullptr;
    QListWidget* lstDirectory_ = nullptr;
    QListWidget* lstFile_ = nullptr;
    QListWidget* lstIcon_ = nullptr; // found files (hidden)
    IconBrowser* browser_ = nullptr;
    QListView* listIcon_ = nullptr;
    ProgressPage* progressPage_ = nullptr;
    StatusPanels* statusPanels_ = nullptr;

    QAction* menuFolders_ = nullptr;
    QAction* menuFiles_ = nullptr;
    QAction* menuStart_ = nullptr;
    QAction* menuStop_ = nullptr;
    QAction* menuClean_ = nullptr;
    QAction* menuLargeIcon_ = nullptr;
    QAction* menuList_ = nullptr;
    QAction* menuDetails_ = nullptr;
    QMenu* popupMenu1_ = nullptr;
    QToolButton* tbtFile_ = nullptr;
    QToolButton* tbtDirectory_ = nullptr;
    QToolButton* tbtSearch_ = nullptr;
    QTimer* timVextral_ = nullptr;
    std::unique_ptr<WindowMemory> memory_;
};

} // namespace vextral::gui
