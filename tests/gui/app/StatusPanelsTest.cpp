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

TEST(StatusPanels, StatusPanelsLieSideBySideAndFollowTheWindow)
{
    ScriptedPrompts prompts;
    vextral::test::TempDir home;
    MainWindow w(prompts, home.path().string());
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    auto* bar = control<QStatusBar>(&w, "status");
    const int least[4] = {250, 221, 76, 61};
    int fileWidth = 0;
    // At the window's first size, its smallest and two larger ones.
    for (const QSize size : {w.size(), QSize(1, 1), QSize(1000, 500), QSize(1900, 500)}) {
        w.resize(size);
        QCoreApplication::processEvents();
        QList<QRect> panels;
        for (int i = 0; i < 4; ++i) {
            auto* label = control<QLabel>(&w, QStringLiteral("statusPanel%1").arg(i).toLatin1().constData());
            ASSERT_TRUE(label->isVisible());
            panels << QRect(label->mapTo(bar, QPoint(0, 0)), label->size());
            EXPECT_GE(panels[i].width(), least[i]) << i;
            EXPECT_LE(panels[i].right(), bar->width() - 1) << i << " at window width " << w.width();
            if (i > 0) {
                EXPECT_EQ(panels[i].left(), panels[i - 1].right() + 1)
                    << "panel " << i << " does not follow the one before at window width " << w.width();
            }
        }
        // The row fills the bar, however wide the window: the hint and the
        // file name take what is left.
        EXPECT_GE(panels[3].right(), bar->width() - 16) << "at window width " << w.width();
        if (size.width() == 1900) {
            EXPECT_GT(panels[1].width(), fileWidth);
        }
        fileWidth = panels[1].width();
        // Nothing else of the status bar (a size grip, a message) lies over a panel.
        for (QWidget* other : bar->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            if (!other->isVisible() || other->isAncestorOf(control<QLabel>(&w, "statusPanel0"))) continue;
            for (const QRect& panel : panels)
                EXPECT_FALSE(other->geometry().intersects(panel)) << other->metaObject()->className();
        }
    }
}

TEST(StatusPanels, TextsShowWholeOrElidedInTheMiddleAndClear)
{
    ScriptedPrompts prompts;
    vextral::test::TempDir home;
    MainWindow w(prompts, home.path().string());
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    auto* file = control<QLabel>(&w, "statusPanel1");
    auto* index = control<QLabel>(&w, "statusPanel2");
    auto* position = control<QLabel>(&w, "statusPanel3");
    const auto fits = [](QLabel* label) {
        return label->fontMetrics().horizontalAdvance(label->text()) <= label->contentsRect().width();
    };
    // Six-digit numbers and a system library's name at the window's first size.
    auto* panels = w.findChild<vextral::gui::StatusPanels*>();
    ASSERT_TRUE(panels);
    panels->showIcon(QStringLiteral("shell32_300.dll"), 183, 110400);
    QCoreApplication::processEvents();
    EXPECT_EQ(file->text(), "Filename:shell32_300.dll");
    EXPECT_EQ(index->text(), "Index:183");
    EXPECT_EQ(position->text(), "No:110400");
    for (QLabel* label : {file, index, position}) EXPECT_TRUE(fits(label)) << label->text().toStdString();
    panels->showIcon(QStringLiteral("a"), 1234567890, 2147483647);
    QCoreApplication::processEvents();
    EXPECT_EQ(index->text(), "Index:1234567890");
    EXPECT_EQ(position->text(), "No:2147483647");
    for (QLabel* label : {index, position}) EXPECT_TRUE(fits(label)) << label->text().toStdString();
    // A name too long for its panel keeps its start and its end; the whole
    // name is its tool tip.
    const QString longName = QStringLiteral("Microsoft.Windows.Common-Controls_6595b64144ccf1df_6.0.22621.2506.dll");
    panels->showIcon(longName, 2, 3);
    QCoreApplication::processEvents();
    EXPECT_TRUE(file->text().startsWith("Filename:Micro")) << file->text().toStdString();
    EXPECT_TRUE(file->text().endsWith("2506.dll")) << file->text().toStdString();
    EXPECT_TRUE(file->text().contains(QChar(0x2026)));
    EXPECT_TRUE(fits(file));
    EXPECT_EQ(file->toolTip(), "Filename:" + longName);
    // Wide enough, it shows whole.
    w.resize(1900, w.height());
    QCoreApplication::processEvents();
    EXPECT_EQ(file->text(), "Filename:" + longName);
    EXPECT_EQ(file->toolTip(), "");
    panels->clearIcon();
    for (QLabel* label : {file, index, position}) EXPECT_EQ(label->text(), "");
}
