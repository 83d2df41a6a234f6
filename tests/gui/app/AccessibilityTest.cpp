// What a screen reader is told of the main window: a name for every button,
// including those that show only a picture, for every list, and for each icon.
#include "TestSupport.h"
#include "gui/app/MainWindow.h"
#include "gui/iconlist/IconListModel.h"
#include "gui/support/AllDialogs.h"
#include "gui/support/ScriptedPrompts.h"
#include "gui/support/Widgets.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QAccessible>
#include <QAccessibleInterface>
#include <QComboBox>
#include <QLineEdit>

#include <gtest/gtest.h>

namespace {

using vextral::gui::MainWindow;

QString accessibleName(QWidget* w)
{
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(w);
    return iface ? iface->text(QAccessible::Name) : QString();
}

TEST(Accessibility, EveryButtonAndListOfTheMainWindowHasAName)
{
    vextral::test::ScriptedPrompts prompts;
    vextral::test::TempDir home;
    MainWindow w(prompts, home.path().string());
    w.show();
    int buttons = 0;
    for (QAbstractButton* b : w.findChildren<QAbstractButton*>()) {
        // Every button, also those not on show now (the toolbar's extension
        // button is hidden until the window is too narrow for the toolbar).
        if (!b->isVisibleTo(&w) && b->objectName() != QLatin1String("qt_toolbar_ext_button")) continue;
        ++buttons;
        EXPECT_FALSE(accessibleName(b).isEmpty()) << b->objectName().toStdString();
    }
    EXPECT_GE(buttons, 20); // the toolbar's fourteen and the source lists' six
    for (QAbstractItemView* view : w.findChildren<QAbstractItemView*>()) {
        EXPECT_FALSE(view->accessibleName().isEmpty()) << view->objectName().toStdString();
        EXPECT_FALSE(accessibleName(view).isEmpty()) << view->objectName().toStdString();
    }
    EXPECT_EQ(vextral::test::control<QWidget>(&w, "tbtPrint")->accessibleName(), "Save all");
    EXPECT_EQ(vextral::test::control<QWidget>(&w, "SpeedButton1")->accessibleName(), "Add a folder");
    EXPECT_EQ(vextral::test::control<QWidget>(&w, "ListIcon")->accessibleName(), "Extracted icon list");
}

TEST(Accessibility, EveryButtonAndFieldOfEveryDialogHasAName)
{
    vextral::test::Desktop desk;
    ASSERT_TRUE(vextral::test::harvestAndSelect(desk.window, vextral::test::qtPath(vextral::test::fixture("tie.ico"))));
    vextral::test::forEachDialog(desk, [](QDialog& dialog) {
        for (QAbstractButton* b : dialog.findChildren<QAbstractButton*>()) {
            if (b->isHidden()) continue;
            EXPECT_FALSE(accessibleName(b).isEmpty()) << b->objectName().toStdString();
        }
        // A field in an up-down box is no sibling of its label: it carries the name itself.
        for (QLineEdit* e : dialog.findChildren<QLineEdit*>()) {
            if (e->isHidden() || qobject_cast<QAbstractSpinBox*>(e->parentWidget()) ||
                qobject_cast<QComboBox*>(e->parentWidget()))
                continue;
            EXPECT_FALSE(accessibleName(e).isEmpty()) << e->objectName().toStdString();
        }
    });
}

TEST(Accessibility, EachIconIsNamedByItsFileAndIndex)
{
    const vextral::IconCatalogue catalogue = vextral::test::catalogueOf("icons32.dll", 3);
    vextral::gui::IconListModel model(catalogue);
    model.sync();
    ASSERT_EQ(model.rowCount(), 3);
    EXPECT_EQ(model.data(model.index(2, 0), Qt::AccessibleTextRole).toString(), "icons32.dll, icon 2");
    EXPECT_EQ(model.data(model.index(0, 0), Qt::AccessibleTextRole).toString(), "icons32.dll, icon 0");
    const QString description = model.data(model.index(1, 0), Qt::AccessibleDescriptionRole).toString();
    EXPECT_TRUE(description.contains(vextral::test::qtPath(vextral::test::fixture("icons32.dll"))))
        << description.toStdString();
}

} // namespace
