#pragma once

#include "gui/IconListModel.h"
#include "gui/Prompts.h"
#include "gui/ToolbarPictures.h"
#include "harvest/HarvestRun.h"
#include "codecs/ImageBuffer.h"
#include "harvest/IconCatalogue.h"
#include "settings/Settings.h"

#include <QElapsedTimer>
#include <QMainWindow>

#include <memory>
#include <string>

class QAction;
class QActionGroup;
class QCheckBox;
class QLabel;
class QListView;
class QListWidget;
class QMenu;
class QTabWidget;
class QTimer;
class QToolButton;

namespace vextral::gui {

// The main window: the two source lists, the harvest run with its progress
// page, the icon list and the commands of the menus, the toolbar and the icon
// list's pop-up menu.
class MainWindow final : public QMainWindow, private HarvestView {
    Q_OBJECT
public:
    // programFolder holds Option.ini.
    MainWindow(Prompts& prompts, std::string programFolder, QWidget* parent = nullptr);
    ~MainWindow() override;

    // Adds names as a drop from a file manager does: existing files to the
    // file list, everything else to the folder list.
    void addDroppedNames(const QStringList& names);

    const IconCatalogue& catalogue() const { return catalogue_; }
    const settings::Settings& settings() const { return settings_; }
    const std::string& programFolder() const { return programFolder_; }
    HarvestRun& harvestRun() { return *run_; }
    const HarvestRun& run() const { return *run_; }
    IconListModel& iconModel() { return *model_; }

    // Command handlers (the menus, toolbar buttons and pop-up items call these).
public slots:
    void tbtDirectoryClick();
    void tbtFileClick();
    void tbtSearchClick();
    void menuStopClick();
    void menuExitClick();
    void menuSaveClick();
    void menuSaveallClick();
    void menuPrintClick();
    void menuCleanClick();
    void menuEditClick();
    void menuRunClick();
    void menuClipboardClick();
    void menuLargeIconClick();
    void menuListClick();
    void menuOptionsClick();
    void tbtWebPageClick();
    void menuConvertClick();
    void menuFriendClick();
    void menuCaptureClick();
    void menuCheckClick();
    void menuCentreClick();
    void menuTiledClick();
    void menuStretchClick();
    void tbtHelpClick();
    void menuHompageClick();
    void menuEmailClick();
    void menuAboutClick();

    void speedButton1Click();
    void speedButton2Click();
    void speedButton3Click();
    void speedButton4Click();
    void speedButton5Click();
    void speedButton6Click();

    // Shows record i of the catalogue in status panels 1 to 3.
    void listIconSelectItem(int i);
    // Loads the settings from Option.ini (at creation, and after the options dialog).
    void formCreate();
    void timVextralTimer();

protected:
    bool event(QEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    void dragEnterEvent(QDragEnterEvent* e) override;
    void dropEvent(QDropEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

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

    void buildMenus();
    void buildToolbar();
    void buildPanels();
    void buildStatusBar();
    QAction* addCommand(QMenu* menu, const QString& name, const QString& caption, const QString& hint,
                        void (MainWindow::*handler)(), const QKeySequence& shortcut = {});
    QToolButton* addToolButton(const QString& name, const QString& hint, Picture picture, void (MainWindow::*handler)());
    void notAvailable(const QString& command);
    int selectedIndex() const;
    void syncFoldersFaces();
    void syncFilesFaces();
    void pump();
    void showHint(const QString& hint);
    void showDialogDisablingMain(QWidget* dialog);

    Prompts& prompts_;
    std::string programFolder_;
    settings::Settings settings_;
    IconCatalogue catalogue_;
    // The hidden 32 x 32 picture the save, clipboard and editor commands draw the selected icon into.
    codecs::ImageBuffer imgIcon_;
    // The save dialog's memory: the format used last and the last name.
    QString savePictureDefaultExt_ = QStringLiteral("bmp");
    QString savePictureLastName_;
    std::unique_ptr<class ListWidgetSource> fileSource_;
    std::unique_ptr<class ListWidgetSource> folderSource_;
    std::unique_ptr<HarvestRun> run_;
    IconListModel* model_ = nullptr;
    QElapsedTimer sinceSync_;

    QTabWidget* page1_ = nullptr;
    QWidget* tabFile_ = nullptr;
    QWidget* tabProgress_ = nullptr;
    QCheckBox* chbDirectory_ = nullptr;
    QCheckBox* chbFile_ = nullptr;
    QListWidget* lstDirectory_ = nullptr;
    QListWidget* lstFile_ = nullptr;
    QListWidget* lstIcon_ = nullptr; // found files (hidden)
    QLabel* staSearch_ = nullptr;
    QLabel* staFound_ = nullptr;
    QLabel* staFile_ = nullptr;
    QLabel* staIcon_ = nullptr;
    class Gauge* gaugeCurrent_ = nullptr;
    class Gauge* gaugeTotal_ = nullptr;
    QListView* listIcon_ = nullptr;
    QLabel* panels_[4] = {};

    QAction* menuFolders_ = nullptr;
    QAction* menuFiles_ = nullptr;
    QAction* menuStart_ = nullptr;
    QAction* menuStop_ = nullptr;
    QAction* menuClean_ = nullptr;
    QAction* menuLargeIcon_ = nullptr;
    QAction* menuList_ = nullptr;
    QMenu* popupMenu1_ = nullptr;
    QToolButton* tbtFile_ = nullptr;
    QToolButton* tbtDirectory_ = nullptr;
    QToolButton* tbtSearch_ = nullptr;
    QTimer* timVextral_ = nullptr;
};

} // namespace vextral::gui
