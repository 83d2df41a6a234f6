// The icon list as a browser: the filter and its counts, the orders, the
// three views, a selection of several icons, zoom drawn from each icon's own
// images, and what a drag or a copy hands to other programs.
#include "gui/iconlist/IconBrowser.h"
#include "gui/app/MainWindow.h"
#include "gui/iconlist/IconListModel.h"
#include "gui/iconlist/IconPictures.h"

#include "TestSupport.h"
#include "gui/support/ScriptedPrompts.h"
#include "gui/support/Widgets.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMimeData>
#include <QSlider>
#include <QTest>
#include <QToolButton>
#include <QTreeView>
#include <QWheelEvent>

#include <gtest/gtest.h>

using namespace vextral;
using vextral::gui::IconBrowser;
using vextral::gui::IconListModel;
using vextral::gui::MainWindow;
using vextral::test::control;
using vextral::test::fixture;
using vextral::test::ScriptedPrompts;
using vextral::test::waitUntil;

namespace {

QString fixturePath(const char* name) { return QString::fromStdString(fixture(name).string()); }

// A window that harvested, in this order: multi.ico (position 0: 16 to 256),
// only48.ico (1), single24.ico (2), tie.ico (3, 24 and 40) and the four
// icons of icons32.dll (4 to 7).
struct Browsing {
    ScriptedPrompts prompts;
    test::TempDir home;
    MainWindow w {prompts, home.path().string()};
    IconBrowser& browser = w.iconBrowser();
    IconListModel& model = browser.model();

    Browsing()
    {
        w.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&w));
        w.addDroppedNames({fixturePath("multi.ico"), fixturePath("only48.ico"), fixturePath("single24.ico"),
                           fixturePath("tie.ico"), fixturePath("icons32.dll")});
        control<QToolButton>(&w, "tbtSearch")->click();
        EXPECT_EQ(model.rowCount(), 8);
    }
    void filter(const QString& text)
    {
        auto* field = control<QLineEdit>(&w, "edtFilter");
        field->setText(text);
        QTest::keyClick(field, Qt::Key_Return);
    }
    QString counts() { return control<QLabel>(&w, "lblCounts")->text(); }
    std::vector<int> rows()
    {
        std::vector<int> positions;
        for (int row = 0; row < model.rowCount(); ++row) positions.push_back(model.positionOf(row));
        return positions;
    }
};

} // namespace

TEST(IconBrowser, TheFilterShowsWhatMatchesAndCountsItWithoutMovingAnyIcon)
{
    Browsing b;
    EXPECT_EQ(b.counts(), "8 icons");
    // Ctrl+F puts the keyboard in the field.
    control<QAction>(&b.w, "menuFilter")->trigger();
    EXPECT_TRUE(control<QLineEdit>(&b.w, "edtFilter")->hasFocus());

    b.filter(QStringLiteral("has 48"));
    EXPECT_EQ(b.rows(), (std::vector<int> {0, 1, 4, 6}));
    EXPECT_EQ(b.counts(), "4 of 8 icons shown");
    b.filter(QStringLiteral("32-bit .ICO"));
    EXPECT_EQ(b.rows(), (std::vector<int> {0, 3}));
    EXPECT_EQ(b.w.shownPositions(), (std::vector<int> {0, 3}));
    // The catalogue keeps every icon where it was: the commands still reach all of them.
    EXPECT_EQ(b.w.catalogue().itemCount(), 8);
    EXPECT_EQ(b.w.catalogue().record(3).sourceFile, fixture("tie.ico").string());

    // Typing waits for a pause before it filters.
    control<QLineEdit>(&b.w, "edtFilter")->setText(QStringLiteral("icons32"));
    EXPECT_TRUE(waitUntil([&] { return b.model.rowCount() == 4; }));
    b.filter(QStringLiteral("nothing like it"));
    EXPECT_EQ(b.model.rowCount(), 0);
    EXPECT_EQ(b.counts(), "0 of 8 icons shown");
    b.filter(QString());
    EXPECT_EQ(b.counts(), "8 icons");

    // A new run under a filter shows only its matching icons, as they come.
    b.filter(QStringLiteral("only48"));
    control<QToolButton>(&b.w, "tbtSearch")->click();
    EXPECT_EQ(b.rows(), (std::vector<int> {1}));
    EXPECT_EQ(b.counts(), "1 of 8 icons shown");
}

TEST(IconBrowser, OrdersAndViewsShowTheSameIconsAndTheirDetails)
{
    Browsing b;
    auto* order = control<QComboBox>(&b.w, "cmbOrder");
    order->setCurrentIndex(2); // the largest image first
    EXPECT_EQ(b.model.positionOf(0), 0);
    EXPECT_EQ(b.w.catalogue().largestSide(b.model.positionOf(1)), 256); // icons32's first icon
    order->setCurrentIndex(1); // by source file: icons32.dll, multi, only48, single24, tie
    EXPECT_EQ(b.rows(), (std::vector<int> {4, 5, 6, 7, 0, 1, 2, 3}));
    order->setCurrentIndex(0);
    EXPECT_EQ(b.rows(), (std::vector<int> {0, 1, 2, 3, 4, 5, 6, 7}));

    // One selection across the views.
    b.browser.selectPositions({3});
    control<QAction>(&b.w, "menuDetails")->trigger();
    auto* details = control<QTreeView>(&b.w, "TreeIcon");
    EXPECT_TRUE(details->isVisible());
    EXPECT_FALSE(control<QListView>(&b.w, "ListIcon")->isVisible());
    EXPECT_EQ(b.w.selectedIndex(), 3);
    const auto cell = [&](int row, int column) { return b.model.index(row, column).data().toString(); };
    EXPECT_EQ(cell(0, IconListModel::SourceColumn), fixturePath("multi.ico"));
    EXPECT_EQ(cell(7, IconListModel::IndexColumn), "3");
    EXPECT_EQ(cell(0, IconListModel::ImagesColumn),
              "16 x 16, 4 bits; 32 x 32, 4 bits; 32 x 32, 8 bits; 32 x 32, 32 bits; 48 x 48, 32 bits; "
              "256 x 256, 32 bits, PNG");
    EXPECT_EQ(cell(3, IconListModel::LargestColumn), "40 x 40");
    // The images column is the tool tip's text.
    EXPECT_TRUE(b.model.index(3, 0).data(Qt::ToolTipRole).toString().endsWith("24 x 24, 32 bits\n40 x 40, 32 bits"));
    // The list view shows each icon's file name beside it.
    control<QAction>(&b.w, "menuList")->trigger();
    EXPECT_EQ(cell(1, IconListModel::PictureColumn), "only48.ico");
    auto* list = control<QListView>(&b.w, "ListIcon");
    EXPECT_GT(list->visualRect(b.model.index(1, 0)).width(), 150);
    EXPECT_EQ(b.w.iconLayout(), gui::IconLayout::List);
}

TEST(IconBrowser, SeveralIconsSelectedAreCountedCopiedAndDraggedAsPngFiles)
{
    Browsing b;
    auto* list = control<QListView>(&b.w, "ListIcon");
    list->setFocus();
    QTest::keyClick(list, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(b.w.selectedPositions().size(), 8U);
    EXPECT_EQ(b.counts(), "8 icons, 8 selected");
    // Ctrl-click adds and takes away.
    list->selectionModel()->clearSelection();
    for (const int row : {0, 3})
        QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::ControlModifier,
                          list->visualRect(b.model.index(row, 0)).center());
    EXPECT_EQ(b.w.selectedPositions(), (std::vector<int> {0, 3}));

    b.w.setIconZoom(64);
    control<QAction>(&b.w, "menuClipboard")->trigger();
    const QMimeData* copied = QGuiApplication::clipboard()->mimeData();
    ASSERT_TRUE(copied);
    ASSERT_EQ(copied->urls().size(), 2);
    EXPECT_TRUE(copied->data("x-special/gnome-copied-files").startsWith("copy\nfile://"));
    const QImage first(copied->urls()[0].toLocalFile());
    EXPECT_EQ(copied->urls()[0].fileName(), "multi.ico_0.png");
    EXPECT_EQ(copied->urls()[1].fileName(), "tie.ico_0.png");
    ASSERT_EQ(first.size(), QSize(64, 64));
    EXPECT_TRUE(first.hasAlphaChannel());
    // Drawn from the 256-pixel image (cyan), its clear frame kept.
    EXPECT_EQ(first.pixelColor(32, 32), QColor(0, 255, 255));
    EXPECT_EQ(first.pixelColor(0, 0).alpha(), 0);
    EXPECT_EQ(QImage::fromData(copied->data("image/png")), first);
    EXPECT_TRUE(copied->data("image/vnd.microsoft.icon").startsWith(QByteArray("\0\0\1\0", 4)));

    // A drag carries the same, for the rows dragged, each row once.
    const QModelIndexList rows {b.model.index(3, 0), b.model.index(3, 1), b.model.index(1, 0)};
    std::unique_ptr<QMimeData> dragged(b.model.mimeData(rows));
    ASSERT_TRUE(dragged);
    ASSERT_EQ(dragged->urls().size(), 2);
    EXPECT_EQ(dragged->urls()[0].fileName(), "only48.ico_0.png");
    EXPECT_EQ(QImage(dragged->urls()[1].toLocalFile()).size(), QSize(64, 64));
    // Another drag writes into a folder of its own.
    EXPECT_NE(dragged->urls()[0].adjusted(QUrl::RemoveFilename), copied->urls()[0].adjusted(QUrl::RemoveFilename));
}

TEST(IconBrowser, ZoomDrawsEachIconFromItsOwnImagesAndAt32ItIsTheCataloguePicture)
{
    Browsing b;
    gui::IconPictures& pictures = b.browser.pictures();
    const auto centre = [&](int side, qreal scale) {
        QPixmap p = pictures.picture(0, side, scale);
        EXPECT_TRUE(waitUntil([&] { return pictures.idle(); }));
        QCoreApplication::processEvents();
        p = pictures.picture(0, side, scale);
        EXPECT_EQ(p.width(), static_cast<int>(side * scale));
        return p.toImage().pixelColor(p.width() / 2, p.height() / 2);
    };
    // At 32 on a plain screen: the catalogue's own picture, the 32-bit yellow image.
    EXPECT_EQ(pictures.picture(0, 32, 1.0).toImage().convertToFormat(QImage::Format_ARGB32),
              gui::iconImage(b.w.catalogue().image(0), Qt::white).convertToFormat(QImage::Format_ARGB32));
    EXPECT_EQ(centre(16, 1.0), QColor(255, 0, 0));
    EXPECT_EQ(centre(48, 1.0), QColor(255, 0, 255));
    // A screen of scale 2 gets the pixels it has: 64 of them from the 256 image.
    EXPECT_EQ(centre(32, 2.0), QColor(0, 255, 255));
    EXPECT_EQ(centre(256, 1.0), QColor(0, 255, 255));

    // The commands, the slider and Ctrl+wheel step through the sides.
    control<QAction>(&b.w, "menuZoomIn")->trigger();
    EXPECT_EQ(b.w.iconZoom(), 48);
    EXPECT_EQ(control<QSlider>(&b.w, "sldZoom")->value(), 3);
    control<QSlider>(&b.w, "sldZoom")->setValue(7);
    EXPECT_EQ(b.w.iconZoom(), 256);
    control<QAction>(&b.w, "menuZoomIn")->trigger();
    EXPECT_EQ(b.w.iconZoom(), 256);
    auto* view = control<QListView>(&b.w, "ListIcon");
    const QPointF at = view->viewport()->rect().center();
    QWheelEvent down(at, view->viewport()->mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton,
                     Qt::ControlModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(view->viewport(), &down);
    EXPECT_EQ(b.w.iconZoom(), 128);
    // A cell holds its picture and its selection square.
    EXPECT_GE(view->visualRect(b.model.index(0, 0)).width(), 128 + 8);
    b.w.setIconZoom(20);
    EXPECT_EQ(b.w.iconZoom(), 16);
    control<QAction>(&b.w, "menuZoomOut")->trigger();
    EXPECT_EQ(b.w.iconZoom(), 16);

    // Clean empties the list and forgets its pictures.
    control<QAction>(&b.w, "menuClean")->trigger();
    EXPECT_EQ(b.model.rowCount(), 0);
    EXPECT_EQ(b.w.catalogue().recordCount(), 0);
    EXPECT_TRUE(pictures.picture(0, 64, 1.0).isNull());
}
