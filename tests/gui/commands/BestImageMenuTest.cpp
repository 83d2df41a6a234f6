#include "gui/print/PrintDialog.h"
#include "gui/saveall/SaveAllDialog.h"

#include "gui/support/DialogDesktop.h"
#include "gui/support/Widgets.h"
#include "platform/IconExtractor.h"

#include <QImage>
#include <QMenu>
#include <QPageSize>
#include <QPrinter>
#include <QPushButton>
#include <QToolButton>

#include <fstream>

using namespace vextral;
using vextral::test::control;
using vextral::test::fileText;

namespace {

// The sheet of multi.ico's icon printed to a PDF and read back at one pixel a
// point (the printer's resolution, so the picture is not rescaled).
QImage printedSheet(const IconCatalogue& catalogue, bool bestImage, const std::filesystem::path& dir)
{
    test::ScriptedPrompts prompts;
    gui::PrintDialog dialog(catalogue, prompts);
    dialog.bestImage = bestImage;
    QPrinter& printer = dialog.printer();
    const std::filesystem::path pdf = dir / "sheet.pdf";
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QString::fromStdString(pdf.string()));
    printer.setResolution(72);
    printer.setFullPage(true);
    printer.setPageSize(QPageSize(QSizeF(400, 300), QPageSize::Point, QString(), QPageSize::ExactMatch));
    printer.setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Point);
    control<QPushButton>(&dialog, "SpeedButton1")->click();
    EXPECT_TRUE(prompts.errors.isEmpty()) << prompts.errors.join(' ').toStdString();
    EXPECT_EQ(test::runCommand("pdftoppm -r 72 -png -singlefile " + test::shellQuote(pdf.string()) + " " +
                               test::shellQuote((dir / "page").string())),
              0);
    QImage page;
    EXPECT_TRUE(page.load(QString::fromStdString((dir / "page.png").string())));
    return page;
}

} // namespace

TEST(BestImageMenu, TheOptionsMenuSwitchIsStoredAtOnceAndReachesSaveAllAndPrinting)
{
    test::Desktop desk;
    auto* best = desk.window.findChild<QAction*>(QStringLiteral("menuBestImage"));
    ASSERT_TRUE(best);
    EXPECT_EQ(best->text(), "Use each icon's &best image");
    EXPECT_TRUE(best->isCheckable());
    EXPECT_FALSE(best->isChecked()); // off without Option.ini
    EXPECT_FALSE(desk.window.settings().bestImage);
    // Right after the views' items ("De&tails" last) in the Options menu.
    auto* list = desk.window.findChild<QAction*>(QStringLiteral("menuDetails"));
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
    EXPECT_NE(fileText(desk.home / "Option.ini").find("BestImage=1"), std::string::npos);
    opened(true);

    // A window started afresh reads it back.
    test::ScriptedPrompts prompts;
    gui::MainWindow again(prompts, desk.home.path().string());
    EXPECT_TRUE(again.findChild<QAction*>(QStringLiteral("menuBestImage"))->isChecked());

    best->trigger();
    EXPECT_FALSE(best->isChecked());
    EXPECT_FALSE(desk.window.settings().bestImage);
    EXPECT_NE(fileText(desk.home / "Option.ini").find("BestImage=0"), std::string::npos);
}

TEST(BestImageMenu, PrintingDrawsTheBestImageAtTheIconsSizeOnlyWhenAsked)
{
    // multi.ico's 32 x 32 pictures are yellow inside, its 256 x 256 one cyan;
    // the sheet's first icon is 100 x 100 at (16, 16).
    test::TempDir dir;
    IconCatalogue catalogue;
    const std::string ico = test::fixture("multi.ico").string();
    catalogue.add(*platform::extractIcon(ico, 0), 0, ico);
    const QImage classic = printedSheet(catalogue, false, dir.path());
    const QImage sharp = printedSheet(catalogue, true, dir.path());
    ASSERT_EQ(classic.size(), QSize(400, 300));
    ASSERT_EQ(sharp.size(), QSize(400, 300));
    EXPECT_EQ(classic.pixel(66, 66) & 0xFFFFFFu, 0xFFFF00u);
    EXPECT_EQ(sharp.pixel(66, 66) & 0xFFFFFFu, 0x00FFFFu);
    // Outside the icon's rectangle the page stays white.
    EXPECT_EQ(sharp.pixel(16 + 101, 66) & 0xFFFFFFu, 0xFFFFFFu);
}
