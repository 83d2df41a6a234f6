// A dialog of one size is as wide as its title needs in a title bar, and so
// is a message box with a short text.
#include "gui/common/TitleWidth.h"
#include "gui/common/Prompts.h"
#include "gui/support/AllDialogs.h"
#include "gui/support/ModalBoxes.h"

#include <QMessageBox>

#include <gtest/gtest.h>

namespace {

using vextral::gui::titleBarWidth;

TEST(TitleWidth, EveryDialogShowsItsWholeTitle)
{
    vextral::test::Desktop desk;
    ASSERT_TRUE(vextral::test::harvestAndSelect(desk.window, vextral::test::qtPath(vextral::test::fixture("tie.ico"))));
    vextral::test::forEachDialog(desk, [](QDialog& dialog) {
        dialog.adjustSize();
        EXPECT_GE(dialog.width(), titleBarWidth(dialog)) << dialog.windowTitle().toStdString();
        EXPECT_GE(dialog.minimumWidth(), titleBarWidth(dialog)) << dialog.windowTitle().toStdString();
    });
}

TEST(TitleWidth, AMessageBoxWithAShortTextShowsItsWholeTitle)
{
    vextral::gui::QtPrompts prompts;
    int width = 0, needed = 0;
    vextral::test::answerNextModal<QMessageBox>([&](QMessageBox& box) {
        width = box.width();
        needed = titleBarWidth(box);
        box.accept();
    });
    prompts.information(nullptr, QStringLiteral("No icon."));
    EXPECT_GT(needed, 0);
    EXPECT_GE(width, needed);
}

} // namespace
