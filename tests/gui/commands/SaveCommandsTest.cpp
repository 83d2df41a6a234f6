// Saving from the main window: the selected icon through the save dialog, and
// every icon through the Save all dialog with its folder tree.
#include "gui/app/MainWindow.h"
#include "gui/common/Gauge.h"
#include "gui/print/PrintDialog.h"
#include "gui/saveall/FolderTree.h"
#include "gui/saveall/SaveAllDialog.h"
#include "gui/webpage/WebPageDialog.h"

#include "TestSupport.h"
#include "gui/support/DialogDesktop.h"
#include "gui/support/ScriptedPrompts.h"
#include "gui/support/Widgets.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

#include <fstream>
#include <map>

using namespace vextral;
using vextral::gui::FolderTree;
using vextral::gui::MainWindow;
using vextral::test::fixture;
using vextral::test::qtPath;
using vextral::test::ScriptedPrompts;
using vextral::test::TempDir;
using vextral::test::waitUntil;
namespace fs = std::filesystem;

namespace {

std::string pil(const std::string& script, const fs::path& file)
{
    std::string out;
    EXPECT_EQ(test::runCommand(
                  "/usr/bin/python3 -c " + test::shellQuote(script) + " " + test::shellQuote(file.string()), &out),
              0);
    return out;
}

const char* const kCorner =
    "import sys\nfrom PIL import Image\nim = Image.open(sys.argv[1]).convert('RGB')\nprint(im.size, im.getpixel((0, "
    "0)), im.getpixel((16, 16)))\n";

void harvest(MainWindow& w, const QStringList& files)
{
    w.addDroppedNames(files);
    w.findChild<QToolButton*>(QStringLiteral("tbtSearch"))->click();
}

// Selects folder, alone, in the dialog's tree; false when the tree has no node for it.
bool chooseFolder(gui::SaveAllDialog& dialog, const fs::path& folder)
{
    dialog.folderTree()->clearSelection();
    QTreeWidgetItem* node = dialog.folderTree()->nodeFor(qtPath(folder));
    if (node) node->setSelected(true);
    return node != nullptr;
}

void select(MainWindow& w, int row)
{
    auto* view = w.findChild<QListView*>(QStringLiteral("ListIcon"));
    view->selectionModel()->select(view->model()->index(row, 0), QItemSelectionModel::ClearAndSelect);
}

} // namespace

TEST(SaveSelectedIcon, WritesTheChosenFormatOverTheBackground)
{
    ScriptedPrompts prompts;
    TempDir home, out;
    std::ofstream(home / "Option.ini") << "[Icon]\nBackground=clRed\n";
    MainWindow w(prompts, home.path().string());
    harvest(w, {qtPath(fixture("multi.ico"))});

    // Nothing selected: a message and no dialog.
    w.findChild<QAction*>(QStringLiteral("menuSave"))->trigger();
    EXPECT_EQ(prompts.informations, QStringList {"Please select an icon to save."});
    EXPECT_TRUE(prompts.saveSuffixes.isEmpty());

    select(w, 0);
    prompts.saveAnswers = {{qtPath(out / "a.png"), 9}, {}, {qtPath(out / "b.ico"), 5}, {qtPath(out / "c.png"), 6}};
    for (int i = 0; i < 4; ++i) w.findChild<QAction*>(QStringLiteral("menuSave"))->trigger();
    // The dialog opens on the entry used last, proposing its extension; a cancel leaves both.
    EXPECT_EQ(prompts.saveFilterIndexes, (QList<int> {1, 9, 9, 5}));
    EXPECT_EQ(prompts.saveSuffixes, (QStringList {"bmp", "png", "png", "ico"}));
    EXPECT_EQ(prompts.saveInitialNames.last(), qtPath(out / "b.ico"));
    EXPECT_EQ(prompts.fileFilters.size(), 9);
    EXPECT_EQ(prompts.fileFilters[4], "Icon File(*.ico)");
    // 32 x 32 over the settings' background: the transparent border is red.
    EXPECT_EQ(pil(kCorner, out / "a.png"), "(32, 32) (255, 0, 0) (255, 255, 0)\n");
    // The icon file holds the icon as its source does.
    EXPECT_EQ(test::readBytes(out / "b.ico"), test::readBytes(fixture("multi.ico")));
    // Under "Cur File" a name ending in .png is written as PNG.
    EXPECT_EQ(pil(kCorner, out / "c.png"), "(32, 32) (255, 0, 0) (255, 255, 0)\n");
    EXPECT_TRUE(prompts.errors.isEmpty());

    // A file that cannot be created is reported.
    prompts.saveAnswers = {{qtPath(out / "no/such/d.png"), 9}};
    w.findChild<QAction*>(QStringLiteral("menuSave"))->trigger();
    EXPECT_EQ(prompts.errors,
              QStringList {"Cannot create file " + qtPath(out / "no/such/d.png") + ": No such file or directory"});

    // An entry outside the table writes nothing; the name is kept, the entry is not.
    prompts.saveAnswers = {{qtPath(out / "e.png"), 10}, {}};
    for (int i = 0; i < 2; ++i) w.findChild<QAction*>(QStringLiteral("menuSave"))->trigger();
    EXPECT_FALSE(fs::exists(out / "e.png"));
    EXPECT_EQ(prompts.saveInitialNames.last(), qtPath(out / "e.png"));
    EXPECT_EQ(prompts.saveFilterIndexes.last(), 9);
    EXPECT_EQ(prompts.saveSuffixes.last(), "png");
}

TEST(FolderTree, PathRulesAndLiveFolders)
{
    TempDir base;
    fs::create_directories(base / "b/inner");
    fs::create_directories(base / "A");
    fs::create_directories(base / "c");
    FolderTree tree;
    tree.show();
    EXPECT_EQ(tree.selectedFolderPath(), "");
    tree.computerNode()->setSelected(true);
    EXPECT_EQ(tree.selectedFolderPath(), "");

    QTreeWidgetItem* node = tree.nodeFor(qtPath(base.path()));
    ASSERT_TRUE(node);
    tree.clearSelection();
    node->setSelected(true);
    EXPECT_EQ(tree.selectedFolderPath(), qtPath(base.path()));
    node->setExpanded(true);
    ASSERT_EQ(node->childCount(), 3);
    EXPECT_EQ(node->child(0)->text(0), "A"); // without regard to case
    EXPECT_EQ(node->child(1)->text(0), "b");
    tree.setDisplayMode(gui::DisplayMode::dmUppercase);
    EXPECT_EQ(node->child(1)->text(0), "B");
    tree.clearSelection();
    node->child(1)->setSelected(true);
    EXPECT_EQ(tree.selectedFolderPath(), qtPath(base / "b")); // the path keeps its case

    // A folder made by another program appears; a removed one goes.
    fs::create_directory(base / "a2");
    fs::remove_all(base / "c");
    waitUntil(
        [node] { return node->childCount() == 3 && node->child(1)->data(0, Qt::DisplayRole).toString() == "A2"; });
    ASSERT_EQ(node->childCount(), 3);
    EXPECT_EQ(node->child(1)->text(0), "A2");
    EXPECT_EQ(node->child(2)->text(0), "B");
}

namespace {

// Whether the tree's view draws an expand arrow before item: what its model says of it.
bool hasArrow(FolderTree& tree, QTreeWidgetItem* item)
{
    QList<int> rows;
    for (QTreeWidgetItem* i = item; i; i = i->parent())
        rows.prepend(i->parent() ? i->parent()->indexOfChild(i) : tree.indexOfTopLevelItem(i));
    QModelIndex index;
    for (int row : rows) index = tree.model()->index(row, 0, index);
    return tree.model()->hasChildren(index);
}

} // namespace

TEST(FolderTree, OnlyFoldersWithSubfoldersShowAnArrow)
{
    TempDir base;
    fs::create_directories(base / "branch/leaf");
    fs::create_directories(base / "empty");
    fs::create_directories(base / "files");
    std::ofstream(base / "files/a.txt") << "a";
    fs::create_directories(base / "hidden/.inner");
    fs::create_directories(base / "linked");
    fs::create_directory_symlink(base / "branch", base / "linked/to-branch");
    fs::create_directories(base / "many");
    for (int i = 0; i < 1500; ++i) std::ofstream(base / "many" / ("file" + std::to_string(i)));
    FolderTree tree;
    tree.show();
    QTreeWidgetItem* node = tree.nodeFor(qtPath(base.path()));
    ASSERT_TRUE(node);
    node->setExpanded(true);
    std::map<QString, QTreeWidgetItem*> child;
    for (int i = 0; i < node->childCount(); ++i) child[node->child(i)->text(0)] = node->child(i);
    ASSERT_EQ(child.size(), 6u);
    EXPECT_TRUE(hasArrow(tree, child["branch"]));
    EXPECT_TRUE(hasArrow(tree, child["hidden"]));
    EXPECT_TRUE(hasArrow(tree, child["linked"]));
    EXPECT_FALSE(hasArrow(tree, child["empty"]));
    EXPECT_FALSE(hasArrow(tree, child["files"]));
    // Expanded, a folder shows what it holds; one too large to look through
    // at once loses its arrow then, when it turns out to have no subfolder.
    child["branch"]->setExpanded(true);
    ASSERT_EQ(child["branch"]->childCount(), 1);
    EXPECT_FALSE(hasArrow(tree, child["branch"]->child(0)));
    child["many"]->setExpanded(true);
    EXPECT_FALSE(hasArrow(tree, child["many"]));

    // A subfolder made since shows when its folder becomes current.
    fs::create_directory(base / "empty/new");
    tree.setCurrentItem(child["empty"]);
    EXPECT_TRUE(hasArrow(tree, child["empty"]));
    child["empty"]->setExpanded(true);
    EXPECT_EQ(child["empty"]->childCount(), 1);
}

TEST(SaveAllDialog, SavesEveryIconIntoTheChosenFolder)
{
    ScriptedPrompts prompts;
    TempDir home, out;
    MainWindow w(prompts, home.path().string());
    harvest(w, {qtPath(fixture("library.nil")), qtPath(fixture("tie.ico"))});
    gui::SaveAllDialog dialog(w.catalogue(), 86, prompts);
    dialog.show();
    auto* ok = dialog.findChild<QPushButton*>(QStringLiteral("SpeedButton1"));

    // No folder chosen: refused with a message.
    ok->click();
    EXPECT_EQ(prompts.informations, QStringList {"Please select a folder to save icons."});

    QTreeWidgetItem* node = dialog.folderTree()->nodeFor(qtPath(out.path()));
    ASSERT_TRUE(node);
    node->setSelected(true);
    // A width that is no number stops the run before the first file; the dialog stays open.
    dialog.findChild<QLineEdit*>(QStringLiteral("editWidth"))->setText(QStringLiteral("abc"));
    dialog.findChild<QRadioButton*>(QStringLiteral("rgpImage8"))->setChecked(true); // Png
    ok->click();
    EXPECT_EQ(prompts.errors, QStringList {"Width: 'abc' is not a valid integer value"});
    EXPECT_TRUE(waitUntil([&] { return dialog.findChild<QLineEdit*>(QStringLiteral("editWidth"))->hasFocus(); }));
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_TRUE(fs::is_empty(out.path()));

    dialog.findChild<QLineEdit*>(QStringLiteral("editWidth"))->setText(QStringLiteral("48"));
    dialog.findChild<QLineEdit*>(QStringLiteral("editHeight"))->setText(QStringLiteral("24"));
    ok->click();
    EXPECT_FALSE(dialog.isVisible());
    for (const char* name : {"library.nil_0.png", "library.nil_1.png", "tie.ico_0.png"}) {
        EXPECT_EQ(pil("import sys\nfrom PIL import Image\nprint(Image.open(sys.argv[1]).size)\n", out / name),
                  "(48, 24)\n")
            << name;
    }

    // Numbering: an empty prefix becomes "Icon"; Filename_index empties it again.
    dialog.show();
    dialog.findChild<QRadioButton*>(QStringLiteral("radioNumber"))->setChecked(true);
    ok->click();
    EXPECT_TRUE(fs::exists(out / "Icon3.png"));
    EXPECT_EQ(dialog.findChild<QLineEdit*>(QStringLiteral("editImage"))->text(), "Icon");
    QTest::mouseClick(dialog.findChild<QRadioButton*>(QStringLiteral("radioFilename")), Qt::LeftButton);
    EXPECT_EQ(dialog.findChild<QLineEdit*>(QStringLiteral("editImage"))->text(), "");
}

TEST(SaveAllDialog, TellsOfRenamedIconsAndOfWhatStoppedARun)
{
    ScriptedPrompts prompts;
    TempDir home, out;
    MainWindow w(prompts, home.path().string());
    // Each file twice: every icon's name is taken once already by the same run.
    harvest(w, {qtPath(fixture("library.nil")), qtPath(fixture("tie.ico")), qtPath(fixture("library.nil"))});
    gui::SaveAllDialog dialog(w.catalogue(), 86, prompts);
    dialog.show();
    ASSERT_TRUE(chooseFolder(dialog, out.path()));
    dialog.findChild<QRadioButton*>(QStringLiteral("rgpImage8"))->setChecked(true); // Png
    auto* ok = dialog.findChild<QPushButton*>(QStringLiteral("SpeedButton1"));
    auto* width = dialog.findChild<QLineEdit*>(QStringLiteral("editWidth"));
    auto* height = dialog.findChild<QLineEdit*>(QStringLiteral("editHeight"));

    // A size too large is refused before anything is allocated or written.
    width->setText(QStringLiteral("100000"));
    height->setText(QStringLiteral("100000"));
    ok->click();
    EXPECT_EQ(prompts.errors,
              QStringList {"The picture size 100000 x 100000 is too large: each side can be at most 16384 pixels"});
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_TRUE(fs::is_empty(out.path()));

    width->setText(QStringLiteral("32"));
    height->setText(QStringLiteral("32"));
    ok->click();
    EXPECT_EQ(prompts.informations,
              QStringList {"2 icons were saved under new names, because earlier icons had the same names."});
    EXPECT_FALSE(dialog.isVisible());
    for (const char* name :
         {"library.nil_0.png", "library.nil_1.png", "tie.ico_0.png", "library.nil_0 (2).png", "library.nil_1 (2).png"})
        EXPECT_TRUE(fs::exists(out / name)) << name;
    EXPECT_EQ(std::distance(fs::directory_iterator(out.path()), fs::directory_iterator()), 5);

    // One renamed icon: said in the singular. A run without any says nothing.
    TempDir one, none;
    MainWindow single(prompts, home.path().string());
    harvest(single, {qtPath(fixture("tie.ico")), qtPath(fixture("tie.ico"))});
    for (const TempDir* folder : {&one, &none}) {
        gui::SaveAllDialog again(single.catalogue(), 86, prompts);
        again.show();
        ASSERT_TRUE(chooseFolder(again, folder->path()));
        if (folder == &none) again.findChild<QRadioButton*>(QStringLiteral("radioNumber"))->setChecked(true);
        prompts.informations.clear();
        again.findChild<QPushButton*>(QStringLiteral("SpeedButton1"))->click();
        EXPECT_FALSE(again.isVisible());
        if (folder == &one) {
            EXPECT_EQ(prompts.informations,
                      QStringList {"1 icon was saved under a new name, because an earlier icon had the same name."});
        } else {
            EXPECT_TRUE(prompts.informations.isEmpty());
        }
    }

    // A harvested file where an icon would be saved is not written over.
    TempDir mixed;
    fs::copy_file(fixture("tie.ico"), mixed / "Icon1.ico");
    MainWindow own(prompts, home.path().string());
    harvest(own, {qtPath(mixed / "Icon1.ico")});
    gui::SaveAllDialog into(own.catalogue(), 86, prompts);
    into.show();
    ASSERT_TRUE(chooseFolder(into, mixed.path()));
    into.findChild<QRadioButton*>(QStringLiteral("radioNumber"))->setChecked(true);
    prompts.informations.clear();
    into.findChild<QPushButton*>(QStringLiteral("SpeedButton1"))->click();
    EXPECT_EQ(prompts.informations,
              QStringList {"1 icon was saved under a new name, so as not to overwrite a harvested file."});
    EXPECT_EQ(test::readBytes(mixed / "Icon1.ico"), test::readBytes(fixture("tie.ico")));
    EXPECT_TRUE(fs::exists(mixed / "Icon1 (2).ico"));

    // A run stopped by a file it cannot create says what failed; the files written before stay.
    TempDir part;
    fs::create_directory(part / "library.nil_1.png");
    dialog.show();
    ASSERT_TRUE(chooseFolder(dialog, part.path()));
    prompts.informations.clear();
    prompts.errors.clear();
    ok->click();
    ASSERT_EQ(prompts.errors.size(), 1);
    EXPECT_TRUE(prompts.errors[0].startsWith("Cannot create file " + qtPath(part / "library.nil_1.png") + ": "))
        << prompts.errors[0].toStdString();
    EXPECT_TRUE(prompts.informations.isEmpty());
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_TRUE(fs::exists(part / "library.nil_0.png"));
    EXPECT_TRUE(fs::is_directory(part / "library.nil_1.png"));
}

TEST(SaveAllDialog, ARunPaintsAndCancelStopsIt)
{
    ScriptedPrompts prompts;
    TempDir home, out, again;
    MainWindow w(prompts, home.path().string());
    harvest(w, {qtPath(fixture("library.nil")), qtPath(fixture("library.nil")), qtPath(fixture("library.nil"))});
    ASSERT_EQ(w.catalogue().itemCount(), 6);
    gui::SaveAllDialog dialog(w.catalogue(), 86, prompts);
    dialog.show();
    ASSERT_TRUE(chooseFolder(dialog, out.path()));
    auto* ok = dialog.findChild<QPushButton*>(QStringLiteral("SpeedButton1"));
    auto* cancel = dialog.findChild<QPushButton*>(QStringLiteral("SpeedButton2"));
    auto* gauge = dialog.findChild<gui::Gauge*>(QStringLiteral("GaugeCurrent"));

    // Events are taken between files: the first pump finds one file written,
    // the gauge moved and every control but Cancel disabled, and Cancel stops
    // the run there.
    bool seen = false;
    QTimer::singleShot(0, &dialog, [&] {
        seen = true;
        EXPECT_EQ(gauge->value(), 17);
        EXPECT_FALSE(ok->isEnabled());
        EXPECT_FALSE(dialog.folderTree()->isEnabled());
        EXPECT_FALSE(dialog.findChild<QLineEdit*>(QStringLiteral("editWidth"))->isEnabled());
        EXPECT_TRUE(cancel->isEnabled());
        cancel->click();
    });
    ok->click();
    EXPECT_TRUE(seen);
    EXPECT_EQ(prompts.informations, QStringList {"Saving was stopped: 1 of 6 icons was saved."});
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_TRUE(ok->isEnabled());
    EXPECT_EQ(std::distance(fs::directory_iterator(out.path()), fs::directory_iterator()), 1);

    // Closing the window stops the run as well; the next run goes to its end.
    prompts.informations.clear();
    QTimer::singleShot(0, &dialog, [&] { dialog.close(); });
    ok->click();
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_TRUE(prompts.informations.isEmpty());
    dialog.show();
    ASSERT_TRUE(chooseFolder(dialog, again.path()));
    ok->click();
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(gauge->value(), 100);
    EXPECT_EQ(std::distance(fs::directory_iterator(again.path()), fs::directory_iterator()), 6);
}

namespace {

// The names of the files in folder, sorted.
std::vector<std::string> fileNames(const fs::path& folder)
{
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace

// "Save range": "Selected icons" and "Shown icons" save the icons the main
// view names when OK is clicked, numbered by their catalogue positions; with
// more than one selected the dialog starts on "Selected icons"; a choice
// without an icon is refused before anything is written.
TEST(SaveAllDialog, SelectedAndShownIconsSaveThoseIcons)
{
    ScriptedPrompts prompts;
    const IconCatalogue icons = test::catalogueOf("library.icl", 6);
    std::vector<int> selected {4}, shown {5, 0, 3};
    gui::SaveAllDialog one(icons, 86, prompts);
    one.setIconPositions({[&] { return selected; }, [&] { return shown; }});
    EXPECT_TRUE(test::control<QRadioButton>(&one, "radioAllIcons")->isChecked());
    EXPECT_EQ(test::control<QRadioButton>(&one, "radioAllIcons")->text(), "&All icons");
    EXPECT_EQ(test::control<QRadioButton>(&one, "radioSelected")->text(), "Selecte&d icons");
    EXPECT_EQ(test::control<QRadioButton>(&one, "radioShown")->text(), "Show&n icons");

    selected = {1, 4};
    gui::SaveAllDialog dialog(icons, 86, prompts);
    dialog.setIconPositions({[&] { return selected; }, [&] { return shown; }});
    EXPECT_TRUE(test::control<QRadioButton>(&dialog, "radioSelected")->isChecked());
    dialog.findChild<QRadioButton*>(QStringLiteral("radioNumber"))->setChecked(true);
    auto* ok = test::control<QPushButton>(&dialog, "SpeedButton1");
    const std::pair<const char*, std::vector<std::string>> choices[] = {
        {"radioSelected", {"Icon2.ico", "Icon5.ico"}},
        {"radioShown", {"Icon1.ico", "Icon4.ico", "Icon6.ico"}},
        {"radioAllIcons", {"Icon1.ico", "Icon2.ico", "Icon3.ico", "Icon4.ico", "Icon5.ico", "Icon6.ico"}}};
    for (const auto& [radio, names] : choices) {
        TempDir out;
        dialog.show();
        ASSERT_TRUE(chooseFolder(dialog, out.path()));
        test::control<QRadioButton>(&dialog, radio)->setChecked(true);
        ok->click();
        EXPECT_FALSE(dialog.isVisible()) << radio;
        EXPECT_EQ(fileNames(out.path()), names) << radio;
    }
    EXPECT_TRUE(prompts.errors.isEmpty()) << prompts.errors.join(' ').toStdString();

    // A stopped run counts the icons of the choice.
    TempDir part;
    dialog.show();
    ASSERT_TRUE(chooseFolder(dialog, part.path()));
    test::control<QRadioButton>(&dialog, "radioSelected")->setChecked(true);
    QTimer::singleShot(0, &dialog, [&] { test::control<QPushButton>(&dialog, "SpeedButton2")->click(); });
    ok->click();
    EXPECT_EQ(prompts.informations, QStringList {"Saving was stopped: 1 of 2 icons was saved."});

    // The positions are read when OK is clicked: none selected by then, none shown.
    selected.clear();
    shown.clear();
    TempDir none;
    ASSERT_TRUE(chooseFolder(dialog, none.path()));
    for (const char* radio : {"radioSelected", "radioShown"}) {
        prompts.informations.clear();
        test::control<QRadioButton>(&dialog, radio)->setChecked(true);
        ok->click();
        EXPECT_EQ(prompts.informations, QStringList {"No icon."}) << radio;
        EXPECT_TRUE(dialog.isVisible()) << radio;
    }
    EXPECT_TRUE(fs::is_empty(none.path()));
}

// With the icon list's multi-selection: Save all, Print and Create Web Page
// start on "Selected icons" when more than one icon is selected, and Save
// then opens Save all rather than the save dialog; with one icon selected
// everything is as before.
TEST(SaveCommands, SeveralSelectedIconsGoToTheRangeDialogsAsSelectedIcons)
{
    test::Desktop desk;
    harvest(desk.window, {qtPath(fixture("library.icl"))});
    ASSERT_EQ(desk.window.catalogue().itemCount(), 3);
    auto* list = desk.window.findChild<QListView*>(QStringLiteral("ListIcon"));
    list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    struct RangeDialog {
        const char* menuItem;
        const char* dialog;
        const char* allIcons;
    };
    const RangeDialog dialogs[] = {{"menuSaveall", "FormSaveAll", "radioAllIcons"},
                                   {"menuPrint", "FormPrint", "radioAllIcon"},
                                   {"menuWebPage", "FormWebPage", "radioAll"}};
    // Whether the dialog of the menu item opens with radio checked.
    const auto startsOn = [&](const RangeDialog& d, const char* radio) {
        desk.window.findChild<QAction*>(QLatin1String(d.menuItem))->trigger();
        auto* dialog = test::control<QDialog>(&desk.window, d.dialog);
        const bool checked = test::control<QRadioButton>(dialog, radio)->isChecked();
        dialog->close();
        desk.settle();
        return checked;
    };
    select(desk.window, 1);
    for (const RangeDialog& d : dialogs) EXPECT_TRUE(startsOn(d, d.allIcons)) << d.dialog;
    list->selectionModel()->select(list->model()->index(2, 0), QItemSelectionModel::Select);
    ASSERT_EQ(list->selectionModel()->selectedIndexes().size(), 2);
    for (const RangeDialog& d : dialogs) EXPECT_TRUE(startsOn(d, "radioSelected")) << d.dialog;

    // Save: the Save all dialog on "Selected icons", which saves those two.
    TempDir out;
    auto* save = desk.open<gui::SaveAllDialog>("menuSave");
    ASSERT_TRUE(save);
    EXPECT_TRUE(desk.prompts.saveSuffixes.isEmpty());
    EXPECT_TRUE(test::control<QRadioButton>(save, "radioSelected")->isChecked());
    ASSERT_TRUE(chooseFolder(*save, out.path()));
    test::control<QPushButton>(save, "SpeedButton1")->click();
    desk.settle();
    EXPECT_EQ(fileNames(out.path()), (std::vector<std::string> {"library.icl_1.ico", "library.icl_2.ico"}));
    EXPECT_TRUE(desk.window.isEnabled());

    // One selected: the save dialog, as before.
    select(desk.window, 0);
    desk.window.findChild<QAction*>(QStringLiteral("menuSave"))->trigger();
    EXPECT_EQ(desk.prompts.saveSuffixes.size(), 1);
    EXPECT_FALSE(desk.window.findChild<gui::SaveAllDialog*>());
}
