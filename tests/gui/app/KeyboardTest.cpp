// The main window from the keyboard: Escape stops a harvest, and the toolbar
// is one stop of the Tab key with the arrow keys moving along it.
#include "TestSupport.h"
#include "gui/app/MainWindow.h"
#include "gui/support/ScriptedPrompts.h"
#include "gui/support/Widgets.h"

#include <QAction>
#include <QApplication>
#include <QListWidget>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace {

namespace fs = std::filesystem;
using vextral::gui::MainWindow;
using vextral::test::control;
using vextral::test::ScriptedPrompts;
using vextral::test::TempDir;

void showActive(MainWindow& w)
{
    w.show();
    w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
}

TEST(Keyboard, EscapeStopsARunningHarvest)
{
    ScriptedPrompts prompts;
    TempDir home;
    TempDir folder;
    // Enough libraries of four icons each that the run is still going when the key comes.
    constexpr int kLibraries = 600;
    for (int i = 0; i < kLibraries; ++i)
        fs::copy_file(vextral::test::fixture("icons32.dll"), folder.path() / ("lib" + std::to_string(i) + ".dll"));
    MainWindow w(prompts, home.path().string());
    showActive(w);
    auto* stop = control<QAction>(&w, "menuStop");
    EXPECT_EQ(stop->shortcut(), QKeySequence(Qt::Key_Escape));
    EXPECT_FALSE(stop->isEnabled()); // nothing to stop yet

    w.folderList().addItem(vextral::test::qtPath(folder.path()));
    bool pressed = false, enabledDuringRun = false;
    QTimer press;
    QObject::connect(&press, &QTimer::timeout, [&] {
        if (pressed || !w.run().active() || w.catalogue().itemCount() == 0) return;
        enabledDuringRun = stop->isEnabled();
        pressed = true;
        QTest::keyClick(&w, Qt::Key_Escape);
    });
    press.start(5);
    w.harvestCommands().startHarvest(); // returns when the run ends
    press.stop();

    ASSERT_TRUE(pressed);
    EXPECT_TRUE(enabledDuringRun);
    EXPECT_FALSE(w.run().active());
    EXPECT_EQ(w.run().runFlag(), "2"); // stopped
    EXPECT_LT(w.catalogue().itemCount(), 4 * kLibraries);
    EXPECT_FALSE(stop->isEnabled());
}

// The toolbar's command buttons, left to right.
QList<QToolButton*> toolbarButtons(MainWindow& w)
{
    QList<QToolButton*> buttons = control<QToolBar>(&w, "ToolBar1")->findChildren<QToolButton*>();
    buttons.removeIf([](const QToolButton* b) { return b->objectName() == QLatin1String("qt_toolbar_ext_button"); });
    return buttons;
}

TEST(Keyboard, TheToolbarIsOneTabStopAndTheArrowKeysMoveAlongIt)
{
    ScriptedPrompts prompts;
    TempDir home;
    MainWindow w(prompts, home.path().string());
    showActive(w);
    auto* bar = control<QToolBar>(&w, "ToolBar1");
    const QList<QToolButton*> buttons = toolbarButtons(w);
    ASSERT_EQ(buttons.size(), 14);
    const auto focused = [&] { return QApplication::focusWidget(); };
    const auto inBar = [&](QWidget* widget) { return widget && bar->isAncestorOf(widget); };

    // Into the toolbar from the widget before it, and out with one more Tab.
    buttons[0]->setFocus(Qt::TabFocusReason);
    ASSERT_EQ(focused(), buttons[0]);
    QTest::keyClick(focused(), Qt::Key_Backtab, Qt::ShiftModifier);
    QWidget* before = focused();
    ASSERT_FALSE(inBar(before));
    QTest::keyClick(before, Qt::Key_Tab);
    EXPECT_EQ(focused(), buttons[0]);
    QTest::keyClick(focused(), Qt::Key_Tab);
    EXPECT_FALSE(inBar(focused())) << focused()->objectName().toStdString();

    // The arrows walk the buttons; Tab comes back to the one last reached.
    buttons[0]->setFocus(Qt::TabFocusReason);
    QTest::keyClick(focused(), Qt::Key_Right);
    EXPECT_EQ(focused(), buttons[1]);
    QTest::keyClick(focused(), Qt::Key_Right);
    EXPECT_EQ(focused(), buttons[2]);
    QTest::keyClick(focused(), Qt::Key_Left);
    EXPECT_EQ(focused(), buttons[1]);
    QTest::keyClick(focused(), Qt::Key_End);
    EXPECT_EQ(focused(), buttons.last());
    QTest::keyClick(focused(), Qt::Key_Right); // round to the first
    EXPECT_EQ(focused(), buttons[0]);
    QTest::keyClick(focused(), Qt::Key_Left);
    EXPECT_EQ(focused(), buttons.last());
    QTest::keyClick(focused(), Qt::Key_Tab);
    EXPECT_FALSE(inBar(focused()));
    QTest::keyClick(focused(), Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(focused(), buttons.last());

    // A disabled button is passed over (Start, while a run goes).
    buttons[0]->setFocus(Qt::TabFocusReason);
    buttons[1]->setEnabled(false);
    QTest::keyClick(focused(), Qt::Key_Right);
    EXPECT_EQ(focused(), buttons[2]);
    int stops = 0;
    for (QToolButton* b : buttons) stops += (b->focusPolicy() & Qt::TabFocus) ? 1 : 0;
    EXPECT_EQ(stops, 1);
}

} // namespace
