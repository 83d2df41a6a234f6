#include "gui/app/MainWindow.h"

#include "TestSupport.h"
#include "gui/support/ScriptedPrompts.h"
#include "gui/support/Widgets.h"

#include <QAction>
#include <QLabel>
#include <QListView>
#include <QMenu>
#include <QToolButton>

#include <gtest/gtest.h>

#include <fstream>

using namespace vextral;
using vextral::gui::MainWindow;
using vextral::test::control;
using vextral::test::fileText;
using vextral::test::fixture;
using vextral::test::ScriptedPrompts;
using vextral::test::TempDir;

namespace {

QString text(MainWindow& w, const char* label) { return control<QLabel>(&w, QString::fromLatin1(label))->text(); }

} // namespace

TEST(UniqueIcons, TheOptionsMenuSwitchHidesDuplicatesFromTheNextHarvest)
{
    ScriptedPrompts prompts;
    TempDir home, icons;
    std::filesystem::copy_file(fixture("icons64.dll"), icons / "a.dll");
    std::filesystem::copy_file(fixture("icons64.dll"), icons / "b.dll");
    std::filesystem::copy_file(fixture("tie.ico"), icons / "c.ico");
    const std::string folder = icons.path().string();

    MainWindow w(prompts, home.path().string());
    auto* unique = control<QAction>(&w, QStringLiteral("menuUnique"));
    EXPECT_EQ(unique->text(), "Hide &duplicates");
    EXPECT_TRUE(unique->isCheckable());
    EXPECT_FALSE(unique->isChecked());
    // In the Options menu after the view modes, followed by the other two
    // switches of what is harvested and saved, then a separator.
    auto* list = control<QAction>(&w, QStringLiteral("menuList"));
    ASSERT_FALSE(list->associatedObjects().isEmpty());
    const QList<QAction*> items = qobject_cast<QMenu*>(list->associatedObjects().first())->actions();
    const auto at = items.indexOf(unique);
    ASSERT_GT(at, items.indexOf(list));
    ASSERT_LT(at + 3, items.size());
    EXPECT_EQ(items[at + 1]->objectName(), "menuTransparent");
    EXPECT_EQ(items[at + 2]->objectName(), "menuCursors");
    EXPECT_TRUE(items[at + 3]->isSeparator());

    w.addDroppedNames({QString::fromStdString(folder)});
    control<QToolButton>(&w, QStringLiteral("tbtFile"))->click(); // folders only
    auto* view = control<QListView>(&w, QStringLiteral("ListIcon"));

    // Off: both copies are shown.
    control<QToolButton>(&w, QStringLiteral("tbtSearch"))->click();
    EXPECT_EQ(view->model()->rowCount(), 9);
    EXPECT_EQ(text(w, "staIcon"), "Extracted 9 icons");

    unique->trigger();
    EXPECT_TRUE(unique->isChecked());
    EXPECT_TRUE(w.settings().unique);
    EXPECT_NE(fileText(home / "Option.ini").find("[Icon]\nUnique=1"), std::string::npos);

    control<QToolButton>(&w, QStringLiteral("tbtSearch"))->click();
    EXPECT_EQ(view->model()->rowCount(), 5);
    EXPECT_EQ(text(w, "staIcon"), "Extracted 5 icons (4 duplicates hidden)");
    view->selectionModel()->select(view->model()->index(4, 0), QItemSelectionModel::ClearAndSelect);
    EXPECT_EQ(control<QLabel>(&w, QStringLiteral("statusPanel1"))->text(), "Filename:c.ico");
    EXPECT_EQ(control<QLabel>(&w, QStringLiteral("statusPanel3"))->text(), "No:5");

    // The tool tip names the source and lists the icon's images as its file holds them.
    EXPECT_EQ(view->model()->index(4, 0).data(Qt::ToolTipRole).toString(),
              QString::fromStdString(folder + "/c.ico, icon 0\n24 x 24, 32 bits\n40 x 40, 32 bits"));
    EXPECT_EQ(view->model()->index(0, 0).data(Qt::ToolTipRole).toString(),
              QString::fromStdString(folder + "/a.dll, icon 0\n16 x 16, 4 bits\n32 x 32, 4 bits\n32 x 32, 8 bits\n"
                                              "32 x 32, 32 bits\n48 x 48, 32 bits\n256 x 256, 32 bits, PNG"));
    // A file gone since the harvest leaves the first line alone.
    std::filesystem::remove(icons / "c.ico");
    EXPECT_EQ(view->model()->index(4, 0).data(Qt::ToolTipRole).toString(),
              QString::fromStdString(folder + "/c.ico, icon 0"));

    // Switched off again, a new window starts with it off.
    unique->trigger();
    EXPECT_FALSE(unique->isChecked());
    MainWindow again(prompts, home.path().string());
    EXPECT_FALSE(control<QAction>(&again, QStringLiteral("menuUnique"))->isChecked());
    EXPECT_TRUE(prompts.errors.isEmpty());
}
