// Each file and folder chooser of the program opens in the folder it used
// last, its own, and remembers the one chosen.
#include "gui/common/Choosers.h"

#include "TestSupport.h"
#include "gui/support/DialogDesktop.h"
#include "gui/support/ModalBoxes.h"
#include "gui/support/QtPrinting.h"
#include "gui/support/Widgets.h"

#include <QAbstractButton>
#include <QDialog>
#include <QDir>
#include <QFileDialog>

#include <gtest/gtest.h>

using namespace vextral;
using settings::Chooser;
using vextral::test::qtPath;
using vextral::test::TempDir;
namespace fs = std::filesystem;

namespace {

QString startOf(Chooser c) { return QStringLiteral("/start/") + QLatin1String(settings::chooserKey(c)); }

} // namespace

TEST(Choosers, EachDialogOpensInItsChoosersFolderAndKeepsTheNewOne)
{
    test::Desktop desk;
    ASSERT_TRUE(test::harvestAndSelect(desk.window, qtPath(test::fixture("tie.ico"))));
    test::ScriptedPrompts& prompts = desk.prompts;
    for (std::size_t c = 0; c < settings::kChooserCount; ++c) prompts.chooserFolders[c] = startOf(Chooser(c));
    const auto remembered = [&prompts](Chooser c) { return prompts.chooserFolders[static_cast<std::size_t>(c)]; };
    TempDir out;

    // Save (the save dialog the editor, converter and capture share).
    prompts.saveAnswers = {{qtPath(out / "a.png"), 9}};
    desk.window.findChild<QAction*>(QStringLiteral("menuSave"))->trigger();
    EXPECT_EQ(prompts.startFolders.last(), startOf(Chooser::SavePicture));
    EXPECT_EQ(remembered(Chooser::SavePicture), qtPath(out.path()));

    // The web page's Browse.
    auto* web = desk.open<QDialog>("menuWebPage");
    ASSERT_TRUE(web);
    prompts.folderAnswers = {qtPath(out.path())};
    test::control<QAbstractButton>(web, "SpeedButton1")->click();
    EXPECT_EQ(prompts.startFolders.last(), startOf(Chooser::WebPage));
    EXPECT_EQ(remembered(Chooser::WebPage), qtPath(out.path()));
    web->close();
    delete web;

    // The converter's Load, cancelled: its folder stays.
    auto* convert = desk.open<QDialog>("menuConvert");
    ASSERT_TRUE(convert);
    test::control<QAbstractButton>(convert, "spbOpen")->click();
    EXPECT_EQ(prompts.startFolders.last(), startOf(Chooser::Convert));
    EXPECT_EQ(remembered(Chooser::Convert), startOf(Chooser::Convert));
    convert->close();
    delete convert;

    // The mail's attachments: a file chosen keeps its folder.
    auto* mail = desk.open<QDialog>("menuFriend");
    ASSERT_TRUE(mail);
    prompts.fileAnswers = {qtPath(test::fixture("multi.ico"))};
    test::control<QAbstractButton>(mail, "spbAdd")->click();
    EXPECT_EQ(prompts.startFolders.last(), startOf(Chooser::Attach));
    EXPECT_EQ(remembered(Chooser::Attach), qtPath(test::fixture("multi.ico").parent_path()));
    mail->close();
    delete mail;

    // The options' icon editor.
    auto* options = desk.open<QDialog>("menuOptions");
    ASSERT_TRUE(options);
    prompts.fileAnswers = {qtPath(out / "editor")};
    test::control<QAbstractButton>(options, "SpeedButton3")->click();
    EXPECT_EQ(prompts.startFolders.last(), startOf(Chooser::Editor));
    EXPECT_EQ(remembered(Chooser::Editor), qtPath(out.path()));
    options->close();
    delete options;
    desk.settle();

    // No chooser took another's folder.
    EXPECT_EQ(remembered(Chooser::AddFolder), startOf(Chooser::AddFolder));
    EXPECT_EQ(remembered(Chooser::PrintPdf), startOf(Chooser::PrintPdf));
}

TEST(Choosers, TheRealDialogsOpenInTheRememberedFolder)
{
    TempDir home, a, b;
    const vextral::test::ScopedEnv homeVariable("HOME", home.path().string());
    gui::QtPrompts prompts;
    prompts.chooserFolders[static_cast<std::size_t>(Chooser::AddFolder)] = qtPath(a.path());
    prompts.chooserFolders[static_cast<std::size_t>(Chooser::AddFile)] = qtPath(a / "gone");
    prompts.chooserFolders[static_cast<std::size_t>(Chooser::PrintPdf)] = qtPath(a.path());

    test::answerNextModal<QFileDialog>([&](QFileDialog& dialog) {
        EXPECT_EQ(dialog.directory().absolutePath(), qtPath(a.path()));
        dialog.setDirectory(qtPath(b.path()));
        static_cast<QDialog&>(dialog).accept();
    });
    EXPECT_EQ(gui::chooseFolder(prompts, Chooser::AddFolder, nullptr, QStringLiteral("Folder")), qtPath(b.path()));
    EXPECT_EQ(prompts.chooserFolders[static_cast<std::size_t>(Chooser::AddFolder)], qtPath(b.path()));

    // A remembered folder that is gone: the folder used last in this session.
    test::answerNextModal<QFileDialog>([&](QFileDialog& dialog) {
        EXPECT_EQ(dialog.directory().absolutePath(), qtPath(b.path()));
        dialog.reject();
    });
    EXPECT_EQ(gui::chooseFile(prompts, Chooser::AddFile, nullptr, QStringLiteral("Open"), {}), QString());
    EXPECT_EQ(prompts.chooserFolders[static_cast<std::size_t>(Chooser::AddFile)], qtPath(a / "gone"));

    // The save dialog too, unless the name it is given holds a folder.
    test::answerNextModal<QFileDialog>([&](QFileDialog& dialog) {
        EXPECT_EQ(dialog.directory().absolutePath(), qtPath(a.path()));
        dialog.reject();
    });
    gui::chooseSaveFile(prompts, Chooser::PrintPdf, nullptr, QStringLiteral("Save"), {QStringLiteral("PDF (*.pdf)")}, 1,
                        QStringLiteral("pdf"), QString());
    test::answerNextModal<QFileDialog>([&](QFileDialog& dialog) {
        EXPECT_EQ(dialog.directory().absolutePath(), qtPath(b.path()));
        dialog.reject();
    });
    gui::chooseSaveFile(prompts, Chooser::PrintPdf, nullptr, QStringLiteral("Save"), {QStringLiteral("PDF (*.pdf)")}, 1,
                        QStringLiteral("pdf"), qtPath(b / "sheet.pdf"));
}
