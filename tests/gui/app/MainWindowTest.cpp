#include "gui/app/MainWindow.h"
#include "core/Error.h"
#include "gui/app/Application.h"
#include "gui/saveall/FolderTree.h"
#include "gui/saveall/SaveAllDialog.h"
#include "gui/webpage/WebPageDialog.h"

#include "TestSupport.h"
#include "gui/support/ScriptedPrompts.h"

#include "gui/common/Gauge.h"
#include "gui/support/Widgets.h"
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QDropEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QMimeData>
#include <QPushButton>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <utility>

using namespace vextral;
using vextral::gui::MainWindow;
using vextral::test::control;
using vextral::test::entries;
using vextral::test::fixture;
using vextral::test::ScriptedPrompts;
using vextral::test::TempDir;
using vextral::test::waitUntil;
namespace fs = std::filesystem;

namespace {

QString fixturePath(const char* name) { return QString::fromStdString(fixture(name).string()); }

QString panel(MainWindow& w, int i)
{
    return control<QLabel>(&w, QStringLiteral("statusPanel%1").arg(i).toLatin1().constData())->text();
}

} // namespace

TEST(MainWindow, DropsSortFilesFromFolders)
{
    ScriptedPrompts prompts;
    vextral::test::TempDir home;
    MainWindow w(prompts, home.path().string());
    vextral::test::TempDir dir;
    const QString folder = QString::fromStdString(dir.path().string());
    const QString missing = folder + QStringLiteral("/not-there.dll");
    w.addDroppedNames(
        {folder, fixturePath("icons32.dll"), missing, fixturePath("icons32.dll"), QString(300, QLatin1Char('x'))});
    EXPECT_EQ(entries(control<QListWidget>(&w, "lstFile")),
              (QStringList {fixturePath("icons32.dll"), fixturePath("icons32.dll")}));
    EXPECT_EQ(entries(control<QListWidget>(&w, "lstDirectory")), (QStringList {folder, missing}));

    // A real drop event from a file manager.
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(fixturePath("multi.ico")), QUrl::fromLocalFile(folder)});
    QDragEnterEvent enter(QPoint(300, 200), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&w, &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(300, 200), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&w, &drop);
    EXPECT_EQ(control<QListWidget>(&w, "lstFile")->count(), 3);
    EXPECT_EQ(control<QListWidget>(&w, "lstDirectory")->count(), 3);
}

TEST(MainWindow, TheThreeFacesOfEachSwitchStayInStep)
{
    ScriptedPrompts prompts;
    vextral::test::TempDir home;
    MainWindow w(prompts, home.path().string());
    w.show();
    auto* box = control<QCheckBox>(&w, "chbFile");
    auto* button = control<QToolButton>(&w, "tbtFile");
    auto* item = control<QAction>(&w, "menuFiles");
    EXPECT_TRUE(box->isChecked() && button->isChecked() && item->isChecked());

    QTest::mouseClick(box, Qt::LeftButton);
    EXPECT_FALSE(box->isChecked());
    EXPECT_FALSE(button->isChecked());
    EXPECT_FALSE(item->isChecked());
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_TRUE(box->isChecked() && button->isChecked() && item->isChecked());
    item->trigger();
    EXPECT_FALSE(box->isChecked() || button->isChecked() || item->isChecked());

    auto* folders = control<QCheckBox>(&w, "chbDirectory");
    control<QAction>(&w, "menuFolders")->trigger();
    EXPECT_FALSE(folders->isChecked());
    EXPECT_FALSE(control<QToolButton>(&w, "tbtDirectory")->isChecked());
    QTest::mouseClick(control<QToolButton>(&w, "tbtDirectory"), Qt::LeftButton);
    EXPECT_TRUE(folders->isChecked());
    EXPECT_TRUE(control<QAction>(&w, "menuFolders")->isChecked());
}

TEST(MainWindow, HarvestsSelectsAndCleans)
{
    ScriptedPrompts prompts;
    vextral::test::TempDir home;
    MainWindow w(prompts, home.path().string());
    w.show();
    w.addDroppedNames({fixturePath("library.nil"), fixturePath("library.icl")});
    control<QToolButton>(&w, "tbtDirectory")->click(); // files only
    control<QToolButton>(&w, "tbtSearch")->click();
    EXPECT_EQ(w.catalogue().itemCount(), 5);
    auto* view = control<QListView>(&w, "ListIcon");
    EXPECT_EQ(view->model()->rowCount(), 5);
    EXPECT_EQ(control<QLabel>(&w, "staSearch")->text(), "Finished");
    EXPECT_EQ(control<QLabel>(&w, "staIcon")->text(), "Extracted 5 icons");
    EXPECT_EQ(control<QLabel>(&w, "staFile")->text(), "Scanned 2 files");
    EXPECT_EQ(control<vextral::gui::Gauge>(&w, "GaugeTotal")->value(), 100);
    EXPECT_EQ(control<QTabWidget>(&w, "Page1")->currentWidget()->objectName(), "tabProgress");
    EXPECT_TRUE(control<QToolButton>(&w, "tbtSearch")->isEnabled());

    // The fifth icon is icon 2 of library.icl.
    view->selectionModel()->select(view->model()->index(4, 0), QItemSelectionModel::ClearAndSelect);
    EXPECT_EQ(panel(w, 1), "Filename:library.icl");
    EXPECT_EQ(panel(w, 2), "Index:2");
    EXPECT_EQ(panel(w, 3), "No:5");
    view->selectionModel()->select(view->model()->index(1, 0), QItemSelectionModel::ClearAndSelect);
    EXPECT_EQ(panel(w, 1), "Filename:library.nil");
    EXPECT_EQ(panel(w, 3), "No:2");

    // Clean empties the list and the status panels; every feature then sees no icon.
    control<QAction>(&w, "menuClean")->trigger();
    EXPECT_EQ(view->model()->rowCount(), 0);
    EXPECT_EQ(w.catalogue().itemCount(), 0);
    EXPECT_EQ(w.catalogue().imageCount(), 0);
    for (int p = 1; p <= 3; ++p) EXPECT_EQ(panel(w, p), "") << p;
    prompts.informations.clear();
    control<QAction>(&w, "menuPrint")->trigger();
    {
        TempDir out;
        vextral::gui::WebPageDialog web(w.catalogue(), w.settings(), prompts);
        control<QLineEdit>(&web, "editFile")->setText(vextral::test::qtPath(out.path()));
        control<QPushButton>(&web, "SpeedButton5")->click();
        EXPECT_TRUE(fs::is_empty(out.path()));
    }
    EXPECT_EQ(prompts.informations, (QStringList {"No icon.", "No icon."}));

    // The view modes are radio items.
    control<QAction>(&w, "menuList")->trigger();
    EXPECT_EQ(view->viewMode(), QListView::ListMode);
    EXPECT_FALSE(control<QAction>(&w, "menuLargeIcon")->isChecked());
    control<QAction>(&w, "menuLargeIcon")->trigger();
    EXPECT_EQ(view->viewMode(), QListView::IconMode);
    EXPECT_FALSE(control<QAction>(&w, "menuList")->isChecked());

    // Both switches off: the run clears the catalogue and finishes.
    control<QAction>(&w, "menuFiles")->trigger();
    control<QAction>(&w, "menuFolders")->trigger();
    control<QAction>(&w, "menuStart")->trigger();
    EXPECT_EQ(w.catalogue().imageCount(), 0);
    EXPECT_EQ(control<QLabel>(&w, "staSearch")->text(), "Finished");
}

TEST(MainWindow, StartUpTimerHarvestsArgumentsOnceAndOnlyOnce)
{
    ScriptedPrompts prompts;
    vextral::test::TempDir home;
    {
        MainWindow w(prompts, home.path().string());
        w.addDroppedNames({fixturePath("multi.ico")});
        ASSERT_TRUE(waitUntil([&w] { return w.catalogue().itemCount() == 1; }));
        // The timer has stopped itself: nothing dropped later starts a run.
        EXPECT_FALSE(control<QTimer>(&w, "TimVextral")->isActive());
        w.addDroppedNames({fixturePath("library.icl")});
        QCoreApplication::processEvents();
        EXPECT_EQ(w.catalogue().itemCount(), 1);
    }
    {
        // A harvest the user starts before the timer fires is the only one:
        // the icon selected after it stays selected.
        MainWindow w(prompts, home.path().string());
        w.addDroppedNames({fixturePath("library.nil"), fixturePath("library.icl")});
        control<QToolButton>(&w, "tbtSearch")->click();
        EXPECT_FALSE(control<QTimer>(&w, "TimVextral")->isActive());
        auto* view = control<QListView>(&w, "ListIcon");
        ASSERT_EQ(view->model()->rowCount(), 5);
        view->selectionModel()->select(view->model()->index(1, 0), QItemSelectionModel::ClearAndSelect);
        QTest::qWait(300);
        EXPECT_TRUE(view->selectionModel()->isSelected(view->model()->index(1, 0)));
        EXPECT_EQ(panel(w, 3), "No:2");
    }
    MainWindow empty(prompts, home.path().string());
    auto* timer = control<QTimer>(&empty, "TimVextral");
    ASSERT_TRUE(waitUntil([timer] { return !timer->isActive(); })); // it has fired
    EXPECT_EQ(empty.run().runFlag(), "");                           // no run with both lists empty
    empty.addDroppedNames({fixturePath("multi.ico")});
    QCoreApplication::processEvents();
    EXPECT_EQ(empty.catalogue().itemCount(), 0);
}

TEST(MainWindow, ToolbarButtonsRunTheirHintsCommands)
{
    ScriptedPrompts prompts;
    vextral::test::TempDir home;
    MainWindow w(prompts, home.path().string());
    // The buttons that open a dialog: ToolbarTest. "Save" (tbtSaveall) and
    // "Edit" (tbtCentre) ask for a selection.
    control<QToolButton>(&w, "tbtSaveall")->click();
    control<QToolButton>(&w, "tbtCentre")->click();
    EXPECT_EQ(prompts.informations, (QStringList {"Please select an icon to save.", "Please select an icon to edit."}));
    EXPECT_TRUE(w.isEnabled());
    // Hiding the Save all dialog enables the window again.
    control<QToolButton>(&w, "tbtPrint")->click();
    auto* saveAll = w.findChild<QDialog*>(QStringLiteral("FormSaveAll"));
    ASSERT_TRUE(saveAll);
    saveAll->hide();
    EXPECT_TRUE(w.isEnabled());
    delete saveAll;

    // The pop-up's "Save all" and "Print" run the main menu's commands.
    prompts.informations.clear();
    control<QAction>(&w, "popupSaveall")->trigger();
    EXPECT_TRUE(w.findChild<QDialog*>(QStringLiteral("FormSaveAll")));
    delete w.findChild<QDialog*>(QStringLiteral("FormSaveAll"));
    control<QAction>(&w, "popupPrint")->trigger();
    control<QToolButton>(&w, "tbtEdit")->click(); // the toolbar's "Print"; the catalogue is empty
    EXPECT_EQ(prompts.informations, (QStringList {"No icon.", "No icon."}));

    // Stop outside a run sets the gauges and the flag.
    control<QToolButton>(&w, "tbtStop")->click();
    EXPECT_EQ(w.run().runFlag(), "2");
    EXPECT_EQ(control<vextral::gui::Gauge>(&w, "GaugeCurrent")->value(), 100);
    EXPECT_EQ(control<vextral::gui::Gauge>(&w, "GaugeTotal")->value(), 100);

    EXPECT_EQ(control<QToolButton>(&w, "tbtPrint")->toolTip(), "Save all");
    EXPECT_EQ(control<QAction>(&w, "menuStart")->shortcut(), QKeySequence(QStringLiteral("Ctrl+B")));
    EXPECT_EQ(control<QAction>(&w, "menuExit")->statusTip(), "Exit the program");
    EXPECT_EQ(control<QAction>(&w, "menuStop")->shortcut(), QKeySequence(Qt::Key_Escape));
}

TEST(MainWindow, SourceListButtonsUseTheDialogs)
{
    ScriptedPrompts prompts;
    vextral::test::TempDir home;
    MainWindow w(prompts, home.path().string());
    auto* folders = control<QListWidget>(&w, "lstDirectory");
    auto* files = control<QListWidget>(&w, "lstFile");
    prompts.folderAnswers = {QStringLiteral("/tmp/a"), QString(), QStringLiteral("/tmp/a")};
    for (int i = 0; i < 3; ++i) control<QToolButton>(&w, "SpeedButton1")->click();
    EXPECT_EQ(entries(folders), (QStringList {"/tmp/a", "/tmp/a"})); // a cancel adds nothing; no duplicate check
    control<QToolButton>(&w, "SpeedButton2")->click();               // nothing selected: nothing happens
    EXPECT_EQ(folders->count(), 2);
    folders->setCurrentRow(0);
    control<QToolButton>(&w, "SpeedButton2")->click();
    EXPECT_EQ(folders->count(), 1);
    control<QToolButton>(&w, "SpeedButton3")->click();
    EXPECT_EQ(folders->count(), 0);

    prompts.fileAnswers = {fixturePath("tie.ico")};
    control<QToolButton>(&w, "SpeedButton4")->click();
    EXPECT_EQ(entries(files), QStringList {fixturePath("tie.ico")});
    QStringList texts;
    for (const gui::FileFilter& f : prompts.openFilters) texts << f.text;
    EXPECT_EQ(texts, (QStringList {"exe,dll,cpl,scr,icl,ocx,ico,nil,bmp,jpg files", "Exe files(*.exe)",
                                   "Dll files(*.dll)", "Cpl files(*.cpl)", "Scr files(*.scr)", "Icl files(*.icl)",
                                   "Ocx files(*.ocx)", "Ico files(*.ico)", "Nil files(*.nil)", "Bmp files(*.bmp)",
                                   "Jpg files(*.jpg)", "All files(*.*)"}));
    EXPECT_EQ(prompts.openFilters.first().patterns, "*.exe;*.dll;*.cpl;*.scr;*.icl;*.ocx;*.ico;*.nil;*.bmp;*.jpg");
    EXPECT_EQ(prompts.openFilters.last().patterns, "*.*");
    files->setCurrentRow(0);
    control<QToolButton>(&w, "SpeedButton5")->click();
    EXPECT_EQ(files->count(), 0);
}

TEST(MainWindow, SourceEntriesGoOnlyWhenSelectedAndShowTheirPath)
{
    ScriptedPrompts prompts;
    vextral::test::TempDir home;
    MainWindow w(prompts, home.path().string());
    w.show();
    auto* folders = control<QListWidget>(&w, "lstDirectory");
    auto* files = control<QListWidget>(&w, "lstFile");
    const QString deep = QStringLiteral("/tmp/a folder with a long name/and another one below it/icons");
    prompts.folderAnswers = {deep};
    control<QToolButton>(&w, "SpeedButton1")->click();
    w.addDroppedNames({QStringLiteral("/tmp/b"), fixturePath("tie.ico"), fixturePath("multi.ico")});
    prompts.fileAnswers = {fixturePath("library.icl")};
    control<QToolButton>(&w, "SpeedButton4")->click();
    // Each entry's tool tip is its full path, however it came in.
    for (QListWidget* list : {folders, files}) {
        for (int i = 0; i < list->count(); ++i)
            EXPECT_EQ(list->item(i)->data(Qt::ToolTipRole).toString(), list->item(i)->text());
    }
    EXPECT_EQ(folders->item(0)->toolTip(), deep);

    // An entry that is current (it has the focus frame) but not selected stays.
    for (QListWidget* list : {folders, files}) {
        list->setCurrentRow(0, QItemSelectionModel::NoUpdate);
        ASSERT_EQ(list->currentRow(), 0);
        ASSERT_TRUE(list->selectedItems().isEmpty());
    }
    control<QToolButton>(&w, "SpeedButton2")->click();
    control<QToolButton>(&w, "SpeedButton5")->click();
    EXPECT_EQ(folders->count(), 2);
    EXPECT_EQ(files->count(), 3);

    // The Delete key deletes the selected entry of the list it is pressed in, and nothing unselected.
    files->setCurrentRow(1);
    QTest::keyClick(files, Qt::Key_Delete);
    EXPECT_EQ(entries(files), (QStringList {fixturePath("tie.ico"), fixturePath("library.icl")}));
    files->clearSelection();
    QTest::keyClick(files, Qt::Key_Delete);
    EXPECT_EQ(files->count(), 2);
    folders->setCurrentRow(0);
    QTest::keyClick(folders, Qt::Key_Delete);
    EXPECT_EQ(entries(folders), QStringList {"/tmp/b"});
    EXPECT_EQ(files->count(), 2);
}

TEST(MainWindow, AboutBoxDisablesTheWindowWhileShown)
{
    ScriptedPrompts prompts;
    vextral::test::TempDir home;
    MainWindow w(prompts, home.path().string());
    w.show();
    control<QAction>(&w, "menuAbout")->trigger();
    auto* about = w.findChild<QDialog*>(QStringLiteral("AboutBox"));
    ASSERT_TRUE(about);
    EXPECT_TRUE(about->isVisible());
    EXPECT_FALSE(w.isEnabled());
    EXPECT_TRUE(about->isEnabled());
    about->findChild<QPushButton*>()->click();
    EXPECT_TRUE(w.isEnabled());
}

TEST(MainWindow, LoadsOptionIniAndHarvestsAddedFolders)
{
    ScriptedPrompts prompts;
    vextral::test::TempDir home;
    {
        // A first start without Option.ini: every type, recursive, no limits, no trash, JPEG 86, white.
        MainWindow w(prompts, home.path().string());
        EXPECT_EQ(w.settings().fileMask(), "*.exe,*.dll,*.cpl,*.scr,*.icl,*.ocx,*.ico,*.nil,*.bmp");
        EXPECT_TRUE(w.settings().subFolder);
        EXPECT_FALSE(w.settings().recycle);
        EXPECT_FALSE(w.settings().iconLimitOn() || w.settings().fileLimitOn());
        EXPECT_EQ(w.settings().jpegQuality, 86);
        EXPECT_EQ(w.settings().background, 0x00FFFFFFu);
        EXPECT_TRUE(prompts.errors.isEmpty());

        // A folder added with "Add a folder" is searched and harvested.
        vextral::test::TempDir tree;
        std::filesystem::create_directories(tree / "icons/deep");
        std::filesystem::copy_file(fixture("library.icl"), tree / "icons/deep/library.icl");
        std::filesystem::copy_file(fixture("tie.ico"), tree / "icons/tie.ico");
        prompts.folderAnswers = {QString::fromStdString((tree / "icons").string())};
        control<QToolButton>(&w, "SpeedButton1")->click();
        control<QToolButton>(&w, "tbtSearch")->click();
        EXPECT_EQ(w.catalogue().itemCount(), 4);
        EXPECT_EQ(control<QLabel>(&w, "staFound")->text(), "2 files"); // every file found, once the folder is listed
        EXPECT_EQ(control<QLabel>(&w, "staSearch")->text(), "Finished");
        EXPECT_EQ(control<QListWidget>(&w, "LstIcon")->count(), 2);
    }
    // A background that is no colour is reported once; the rest of the file still counts.
    std::ofstream(home / "Option.ini") << "[Icon]\nBackground=light pink\n[File]\nIcon=0\nIcon Number=2\n";
    MainWindow w(prompts, home.path().string());
    EXPECT_EQ(prompts.errors, QStringList {"'light pink' is not a valid integer value"});
    EXPECT_TRUE(w.settings().iconLimitOn());
    EXPECT_EQ(w.settings().iconNumber, 2);
    EXPECT_EQ(w.settings().background, 0x00FFFFFFu);
}

TEST(MainWindow, DialogsAreDestroyedWhenClosedWhicheverWayTheyClose)
{
    ScriptedPrompts prompts;
    vextral::test::TempDir home, out;
    MainWindow w(prompts, home.path().string());
    w.show();
    // Save all five times: OK (a folder chosen, nothing to save), Cancel, the close box, OK, Cancel.
    for (int round = 0; round < 5; ++round) {
        control<QAction>(&w, "menuSaveall")->trigger();
        const auto open = w.findChildren<gui::SaveAllDialog*>();
        ASSERT_EQ(open.size(), 1) << round;
        gui::SaveAllDialog* dialog = open.first();
        EXPECT_TRUE(dialog->isVisible());
        EXPECT_FALSE(w.isEnabled());
        switch (round % 3) {
        case 0:
            dialog->folderTree()->nodeFor(QString::fromStdString(out.path().string()))->setSelected(true);
            control<QPushButton>(dialog, "SpeedButton1")->click();
            break;
        case 1: control<QPushButton>(dialog, "SpeedButton2")->click(); break;
        default: dialog->close(); break;
        }
        EXPECT_TRUE(w.isEnabled()) << round;
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_TRUE(w.findChildren<gui::SaveAllDialog*>().isEmpty()) << round;
    }
    EXPECT_TRUE(prompts.informations.isEmpty());
    EXPECT_TRUE(prompts.errors.isEmpty());

    // About goes the same way; a dialog deleted while shown enables the window too.
    control<QAction>(&w, "menuAbout")->trigger();
    control<QPushButton>(w.findChild<QDialog*>(QStringLiteral("AboutBox")), "")->click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(w.findChild<QDialog*>(QStringLiteral("AboutBox")));
    control<QAction>(&w, "menuAbout")->trigger();
    EXPECT_FALSE(w.isEnabled());
    delete w.findChild<QDialog*>(QStringLiteral("AboutBox"));
    EXPECT_TRUE(w.isEnabled());
}

namespace {

// A run that fails in its folders phase, as the engine would on an error no
// reader expects (a full disk, no memory, a broken file system).
class FailingRun final : public HarvestRun {
public:
    using HarvestRun::HarvestRun;

protected:
    bool foldersPhase() override { throw Error("Cannot read the folder list"); }
};

} // namespace

TEST(MainWindow, ARunEndedByAnErrorLeavesTheWindowReadyForTheNext)
{
    ScriptedPrompts prompts;
    vextral::test::TempDir home, folder;
    MainWindow w(prompts, home.path().string());
    bool failNext = true;
    w.setRunFactory([&failNext](IconCatalogue& catalogue, HarvestView& view, const SourceList& files,
                                const SourceList& folders, HarvestRun::Pump pump) -> std::unique_ptr<HarvestRun> {
        if (std::exchange(failNext, false))
            return std::make_unique<FailingRun>(catalogue, view, files, folders, std::move(pump));
        return std::make_unique<HarvestRun>(catalogue, view, files, folders, std::move(pump));
    });
    w.addDroppedNames({fixturePath("library.nil"), QString::fromStdString(folder.path().string())});
    auto* view = control<QListView>(&w, "ListIcon");

    control<QToolButton>(&w, "tbtSearch")->click();
    EXPECT_EQ(prompts.errors, QStringList {"Cannot read the folder list"});
    // The controls the run had taken are back, and the icons of the files phase show.
    EXPECT_TRUE(control<QAction>(&w, "menuClean")->isEnabled());
    EXPECT_TRUE(control<QAction>(&w, "menuStart")->isEnabled());
    EXPECT_TRUE(control<QToolButton>(&w, "tbtSearch")->isEnabled());
    EXPECT_FALSE(w.iconModel().updating());
    EXPECT_TRUE(control<QListWidget>(&w, "LstIcon")->updatesEnabled());
    EXPECT_EQ(w.catalogue().itemCount(), 2);
    EXPECT_EQ(view->model()->rowCount(), 2);
    EXPECT_NE(control<QLabel>(&w, "staSearch")->text(), "Finished");

    // The next Start runs to its end.
    control<QAction>(&w, "menuStart")->trigger();
    EXPECT_EQ(control<QLabel>(&w, "staSearch")->text(), "Finished");
    EXPECT_EQ(w.catalogue().itemCount(), 2);
    EXPECT_EQ(view->model()->rowCount(), 2);
    EXPECT_EQ(prompts.errors.size(), 1);
}

TEST(MainWindow, DialogCaptionsAreThePrograms)
{
    // The application gets a name and no display name of its own, which Qt
    // would add to every dialog's caption: one that is not set follows the name.
    const QString testName = QCoreApplication::applicationName();
    gui::nameApplication();
    EXPECT_EQ(QCoreApplication::applicationName(), "Vextral");
    QCoreApplication::setApplicationName(QStringLiteral("probe"));
    EXPECT_EQ(QGuiApplication::applicationDisplayName(), "probe");
    QCoreApplication::setApplicationName(testName);

    ScriptedPrompts prompts;
    vextral::test::TempDir home;
    MainWindow w(prompts, home.path().string());
    w.show();
    EXPECT_EQ(w.windowTitle(), "Vextral 2.1");

    // The About box is wide enough for its caption in a large bold face beside a title bar's controls.
    control<QAction>(&w, "menuAbout")->trigger();
    auto* about = control<QDialog>(&w, "AboutBox");
    EXPECT_EQ(about->windowTitle(), "About Vextral");
    QFont caption = about->font();
    caption.setBold(true);
    caption.setPointSizeF(caption.pointSizeF() * 1.25);
    EXPECT_GE(about->width(), QFontMetrics(caption).horizontalAdvance(about->windowTitle()) + 4 * 32);
    delete about;

    // Save all keeps its size.
    control<QAction>(&w, "menuSaveall")->trigger();
    auto* saveAll = control<QDialog>(&w, "FormSaveAll");
    EXPECT_EQ(saveAll->windowTitle(), "Save all");
    QCoreApplication::processEvents();
    const QSize size = saveAll->size();
    EXPECT_EQ(saveAll->minimumSize(), size);
    EXPECT_EQ(saveAll->maximumSize(), size);
    for (const QSize other : {size + QSize(300, 200), size / 2}) {
        saveAll->resize(other);
        QCoreApplication::processEvents();
        EXPECT_EQ(saveAll->size(), size);
    }
    delete saveAll;
}
