#include "gui/PrintDialog.h"
#include "gui/SaveAllDialog.h"

#include "gui/DialogDesktop.h"

#include <QMenu>
#include <QPushButton>
#include <QToolButton>

#include <fstream>

using namespace vextral;
using vextral::test::control;

namespace {

std::string slurp(const std::filesystem::path& path)
{
    std::ifstream in(path);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

} // namespace

TEST(BestImageMenu, TheOptionsMenuSwitchIsStoredAtOnceAndReachesSaveAllAndPrinting)
{
    test::Desktop desk;
    auto* best = desk.window.findChild<QAction*>(QStringLiteral("menuBestImage"));
    ASSERT_TRUE(best);
    EXPECT_EQ(best->text(), "Use each icon's best image");
    EXPECT_TRUE(best->isCheckable());
    EXPECT_FALSE(best->isChecked()); // off without Option.ini
    EXPECT_FALSE(desk.window.settings().bestImage);
    // Right after "&List" in the Options menu.
    auto* list = desk.window.findChild<QAction*>(QStringLiteral("menuList"));
    ASSERT_FALSE(list->associatedObjects().isEmpty());
    const QList<QAction*> items = qobject_cast<QMenu*>(list->associatedObjects().first())->actions();
    EXPECT_EQ(items.indexOf(best), items.indexOf(list) + 1);

    desk.window.addDroppedNames({QString::fromStdString(test::fixture("multi.ico").string())});
    desk.window.findChild<QToolButton*>(QStringLiteral("tbtSearch"))->click();
    ASSERT_EQ(desk.window.catalogue().itemCount(), 1);
    auto opened = [&](bool expected) {
        auto* save = desk.open<gui::SaveAllDialog>("menuSaveall");
        ASSERT_TRUE(save);
        EXPECT_EQ(save->bestImage, expected);
        save->close();
        desk.settle();
        auto* print = desk.open<gui::PrintDialog>("menuPrint");
        ASSERT_TRUE(print);
        EXPECT_EQ(print->bestImage, expected);
        control<QPushButton>(print, "SpeedButton2")->click();
        desk.settle();
    };
    opened(false);

    best->trigger();
    EXPECT_TRUE(best->isChecked());
    EXPECT_TRUE(desk.window.settings().bestImage);
    EXPECT_NE(slurp(desk.home / "Option.ini").find("BestImage=1"), std::string::npos);
    opened(true);

    // A window started afresh reads it back.
    test::ScriptedPrompts prompts;
    gui::MainWindow again(prompts, desk.home.path().string());
    EXPECT_TRUE(again.findChild<QAction*>(QStringLiteral("menuBestImage"))->isChecked());

    best->trigger();
    EXPECT_FALSE(best->isChecked());
    EXPECT_FALSE(desk.window.settings().bestImage);
    EXPECT_NE(slurp(desk.home / "Option.ini").find("BestImage=0"), std::string::npos);
}
