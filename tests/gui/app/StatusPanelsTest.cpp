// The status bar's four panels: where hints go, and how they lie.
#include "gui/app/StatusPanels.h"
#include "gui/app/MainWindow.h"

#include "TestSupport.h"
#include "gui/support/ScriptedPrompts.h"

#include "gui/support/Widgets.h"
#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTest>

#include <gtest/gtest.h>

using namespace vextral;
using vextral::gui::MainWindow;
using vextral::test::control;
using vextral::test::ScriptedPrompts;

namespace {

QString panel(MainWindow& w, int i)
{
    return control<QLabel>(&w, QStringLiteral("statusPanel%1").arg(i).toLatin1().constData())->text();
}

} // namespace

TEST(StatusPanels, HintsGoToTheFirstStatusPanel)
{
    ScriptedPrompts prompts;
    vextral::test::TempDir home;
    MainWindow w(prompts, home.path().string());
    control<QAction>(&w, "menuSave")->showStatusText(&w);
    EXPECT_EQ(panel(w, 0), "Save selected icon");
    QStatusTipEvent tip(QStringLiteral("Files to scan"));
    QApplication::sendEvent(control<QListWidget>(&w, "lstFile"), &tip);
    EXPECT_EQ(panel(w, 0), "Files to scan");
}

TEST(StatusPanels, StatusPanelsLieSideBySide)
{
    ScriptedPrompts prompts;
    vextral::test::TempDir home;
    MainWindow w(prompts, home.path().string());
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    auto* bar = control<QStatusBar>(&w, "status");
    const int widths[4] = {336, 135, 76, 61};
    // At the window's first size, its smallest and a larger one.
    for (const QSize size : {w.size(), QSize(1, 1), QSize(1000, 500)}) {
        w.resize(size);
        QCoreApplication::processEvents();
        QList<QRect> panels;
        for (int i = 0; i < 4; ++i) {
            auto* label = control<QLabel>(&w, QStringLiteral("statusPanel%1").arg(i).toLatin1().constData());
            ASSERT_TRUE(label->isVisible());
            panels << QRect(label->mapTo(bar, QPoint(0, 0)), label->size());
            EXPECT_EQ(panels[i].width(), widths[i]) << i;
            EXPECT_LE(panels[i].right(), bar->width() - 1) << i << " at window width " << w.width();
            if (i > 0) {
                EXPECT_EQ(panels[i].left(), panels[i - 1].right() + 1)
                    << "panel " << i << " does not follow the one before at window width " << w.width();
            }
        }
        // Nothing else of the status bar (a size grip, a message) lies over a panel.
        for (QWidget* other : bar->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            if (!other->isVisible() || other->isAncestorOf(control<QLabel>(&w, "statusPanel0"))) continue;
            for (const QRect& panel : panels)
                EXPECT_FALSE(other->geometry().intersects(panel)) << other->metaObject()->className();
        }
    }
}
