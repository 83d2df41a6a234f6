// The icon list in its two views: the selected icon's highlight and the
// row kept in view when the view changes.
#include "gui/app/MainWindow.h"
#include "gui/iconlist/IconItemDelegate.h"

#include "TestSupport.h"
#include "gui/support/ScriptedPrompts.h"

#include "gui/support/Widgets.h"
#include <QAction>
#include <QApplication>
#include <QListView>
#include <QListWidget>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include <utility>

using namespace vextral;
using vextral::gui::MainWindow;
using vextral::test::control;
using vextral::test::fixture;
using vextral::test::ScriptedPrompts;
using vextral::test::waitUntil;

namespace {

QString fixturePath(const char* name) { return QString::fromStdString(fixture(name).string()); }

} // namespace

namespace {

// How many pixels of the view's viewport, as drawn, within rect have the colour.
int pixelsOfColour(QListView* view, const QRect& rect, const QColor& colour)
{
    const QImage image = view->viewport()->grab().toImage();
    int count = 0;
    for (int y = std::max(0, rect.top()); y <= std::min(image.height() - 1, rect.bottom()); ++y)
        for (int x = std::max(0, rect.left()); x <= std::min(image.width() - 1, rect.right()); ++x)
            if (image.pixelColor(x, y).rgb() == colour.rgb()) ++count;
    return count;
}

} // namespace

TEST(IconListView, TheSelectedIconStandsOutInBothViewsWithAndWithoutFocus)
{
    ScriptedPrompts prompts;
    vextral::test::TempDir home;
    MainWindow w(prompts, home.path().string());
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    w.addDroppedNames({fixturePath("library.nil"), fixturePath("library.icl")});
    control<QToolButton>(&w, "tbtSearch")->click();
    auto* view = control<QListView>(&w, "ListIcon");
    ASSERT_EQ(view->model()->rowCount(), 5);
    view->selectionModel()->setCurrentIndex(view->model()->index(1, 0), QItemSelectionModel::ClearAndSelect);
    const QColor highlight = view->palette().color(QPalette::Active, QPalette::Highlight);
    for (const char* mode : {"menuLargeIcon", "menuList"}) {
        control<QAction>(&w, mode)->trigger();
        for (bool focused : {true, false}) {
            if (focused) {
                view->setFocus();
            } else {
                control<QListWidget>(&w, "lstFile")->setFocus();
            }
            QCoreApplication::processEvents();
            ASSERT_EQ(view->hasFocus(), focused);
            auto cell = [view](int row) { return view->visualRect(view->model()->index(row, 0)); };
            // A frame of 2 pixels around the 32 x 32 picture at the least, and its transparent pixels.
            EXPECT_GE(pixelsOfColour(view, cell(1), highlight), 36 * 36 - 32 * 32)
                << mode << (focused ? " with" : " without") << " focus";
            for (int row : {0, 2}) EXPECT_EQ(pixelsOfColour(view, cell(row), highlight), 0) << mode << " row " << row;
        }
    }
}

namespace {

// The rows of the icon list that show, in part or whole, in its viewport.
QList<int> rowsInView(QListView* view)
{
    QList<int> rows;
    for (int row = 0; row < view->model()->rowCount(); ++row) {
        if (view->visualRect(view->model()->index(row, 0)).intersects(view->viewport()->rect())) rows << row;
    }
    return rows;
}

} // namespace

TEST(IconListView, SwitchingViewsKeepsTheFirstIconInView)
{
    ScriptedPrompts prompts;
    vextral::test::TempDir home;
    MainWindow w(prompts, home.path().string());
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    // More icons than the list lays out in one batch.
    w.addDroppedNames(QStringList(1300, fixturePath("library.icl")));
    control<QToolButton>(&w, "tbtSearch")->click();
    auto* view = control<QListView>(&w, "ListIcon");
    ASSERT_EQ(view->model()->rowCount(), 3900);

    const std::pair<const char*, int> steps[] = {{"menuList", 3500}, {"menuLargeIcon", 2500}, {"menuList", 40}};
    for (const auto& [mode, row] : steps) {
        // Scrolled once the list has laid the row out.
        ASSERT_TRUE(QTest::qWaitFor([view, row = row] {
            view->scrollTo(view->model()->index(row, 0), QAbstractItemView::PositionAtTop);
            return rowsInView(view).contains(row);
        }));
        const QList<int> before = rowsInView(view);
        ASSERT_FALSE(before.isEmpty());
        ASSERT_GT(before.first(), 0) << "the list is not scrolled";
        control<QAction>(&w, mode)->trigger();
        // Once laid out again in the new mode, the icon is still in view.
        const int first = before.first();
        EXPECT_TRUE(waitUntil([view, first] { return rowsInView(view).contains(first); }));
        const QList<int> after = rowsInView(view);
        EXPECT_TRUE(after.contains(first)) << mode << ": icon " << before.first() << " went out of view; in view from "
                                           << (after.isEmpty() ? -1 : after.first());
    }
}
