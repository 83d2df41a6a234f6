// What a save writes, through the real save dialog (QtPrompts over Qt's own
// QFileDialog) and the real error box: the typed name's extension picks the
// format whatever the entry shown, the entry's own extension is added to a
// name typed without one, and a name no writer knows is refused with a message
// and writes nothing.
#include "gui/app/MainWindow.h"
#include "gui/capture/CaptureDialog.h"
#include "gui/common/DialogHost.h"
#include "gui/common/Prompts.h"
#include "gui/convert/ConvertDialog.h"
#include "gui/edit/EditDialog.h"

#include "TestSupport.h"
#include "gui/support/DialogDesktop.h"
#include "gui/support/ModalBoxes.h"
#include "gui/support/ScriptedCapture.h"
#include "gui/support/Widgets.h"

#include <QAction>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

using namespace vextral;
using test::TempDir;
namespace fs = std::filesystem;

namespace {

// What the save dialog's answer brought up: the text of the error box, if one opened.
struct SaveOutcome {
    bool answered = false;
    QString error;
};

// Answers the next save dialog with name under filter entry and, when an
// error box is expected to follow, that box with OK.
std::shared_ptr<SaveOutcome> answerSave(const QString& entry, const QString& name, bool errorBoxFollows)
{
    auto outcome = std::make_shared<SaveOutcome>();
    test::answerNextModal<QFileDialog>([outcome, entry, name, errorBoxFollows](QFileDialog& dialog) {
        EXPECT_TRUE(test::chooseFileType(dialog, entry)) << entry.toStdString();
        outcome->answered = true;
        test::typeNameAndAccept(dialog, name);
        if (!errorBoxFollows) return;
        test::answerNextModal<QMessageBox>([outcome](QMessageBox& box) {
            outcome->error = box.text();
            outcome->error.remove(QChar(0x200B)); // break opportunities
            box.accept();
        });
    });
    return outcome;
}

// The main window over a program folder of its own with multi.ico's icon selected.
struct Window {
    gui::QtPrompts prompts;
    TempDir home;
    gui::MainWindow w {prompts, home.path().string()};

    Window()
    {
        w.show();
        EXPECT_TRUE(test::harvestAndSelect(w, test::qtPath(test::fixture("multi.ico"))));
    }
    // Triggers the menu item and returns the dialog it opened.
    template <typename Dialog>
    Dialog* open(const char* menuItem)
    {
        w.findChild<QAction*>(QLatin1String(menuItem))->trigger();
        return w.findChild<Dialog*>();
    }
};

std::vector<std::string> namesIn(const fs::path& folder)
{
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename().string());
    return names;
}

// Saves a.xyz under each entry by save, which opens the save dialog: each
// time the error box names the extension and the folder stays empty.
void expectRefused(std::initializer_list<const char*> entries, const fs::path& out, const std::function<void()>& save)
{
    for (const char* entry : entries) {
        const auto outcome = answerSave(QString::fromLatin1(entry), test::qtPath(out / "a.xyz"), true);
        save();
        EXPECT_TRUE(outcome->answered) << entry;
        EXPECT_EQ(outcome->error, "Unknown picture file extension (.xyz).") << entry;
        EXPECT_EQ(namesIn(out), std::vector<std::string> {}) << entry;
    }
}

} // namespace

TEST(SaveChoice, TheMainWindowWritesTheFormatOfTheTypedName)
{
    Window window;
    TempDir out;
    QAction* save = window.w.findChild<QAction*>(QStringLiteral("menuSave"));
    expectRefused({"Bmp File(*.bmp)", "Icon File(*.ico)", "Cur File(*.cur)", "Wmf File(*.wmf)"}, out.path(),
                  [save] { save->trigger(); });
    // one.png under the first entry, "Bmp File", is a PNG file.
    const auto outcome = answerSave(QStringLiteral("Bmp File(*.bmp)"), test::qtPath(out / "one.png"), false);
    save->trigger();
    EXPECT_TRUE(outcome->answered);
    const auto png = test::readBytes(out / "one.png");
    ASSERT_GE(png.size(), 4u);
    EXPECT_EQ(png[1], 'P');
    // A name without an extension gets the entry's: "Icon File" writes the icon itself.
    const auto icon = answerSave(QStringLiteral("Icon File(*.ico)"), test::qtPath(out / "b"), false);
    save->trigger();
    EXPECT_TRUE(icon->answered);
    EXPECT_EQ(test::readBytes(out / "b.ico"), test::readBytes(test::fixture("multi.ico")));
}

TEST(SaveChoice, TheConverterWritesTheFormatOfTheTypedName)
{
    Window window;
    TempDir out;
    auto* convert = window.open<gui::ConvertDialog>("menuConvert");
    ASSERT_TRUE(convert);
    test::answerNextModal<QFileDialog>(
        [](QFileDialog& dialog) { test::typeNameAndAccept(dialog, test::qtPath(test::fixture("picture.bmp"))); });
    convert->findChild<QPushButton*>(QStringLiteral("spbOpen"))->click();
    ASSERT_FALSE(convert->loadedPicture().empty());
    QPushButton* save = convert->findChild<QPushButton*>(QStringLiteral("spbSave"));
    ASSERT_TRUE(save);
    expectRefused({"Icon File(*.ico)", "Cur File(*.cur)", "Wmf File(*.wmf)"}, out.path(), [save] { save->click(); });
    const auto outcome = answerSave(QStringLiteral("Icon File(*.ico)"), test::qtPath(out / "a.cur"), false);
    save->click();
    EXPECT_TRUE(outcome->answered);
    const auto cur = test::readBytes(out / "a.cur");
    ASSERT_GE(cur.size(), 4u);
    EXPECT_EQ(cur[2], 2); // a cursor: the name's extension chose the writer
    convert->close();
}

TEST(SaveChoice, TheCaptureDialogRefusesANameNoWriterKnows)
{
    Window window;
    TempDir out;
    test::ScriptedBackend backend;
    auto* capture =
        new gui::CaptureDialog(window.w.savePicture(), window.w.settings(), window.prompts, &backend, &window.w);
    window.w.dialogs().show(capture);
    QAbstractButton* start = capture->findChild<QAbstractButton*>(QStringLiteral("spbCapture"));
    ASSERT_TRUE(start);
    start->click();
    ASSERT_TRUE(backend.callback);
    const codecs::Picture grabbed = codecs::Picture::make(32, 32);
    backend.callback(1, &grabbed);
    ASSERT_FALSE(capture->captured().empty());
    QAbstractButton* save = capture->findChild<QAbstractButton*>(QStringLiteral("spbSave"));
    ASSERT_TRUE(save);
    expectRefused({"Icon File(*.ico)", "Cur File(*.cur)", "Wmf File(*.wmf)"}, out.path(), [save] { save->click(); });
    capture->close();
}

TEST(SaveChoice, TheEditorWritesTheFormatOfTheTypedName)
{
    Window window;
    TempDir out;
    auto* edit = window.open<gui::EditDialog>("menuEdit");
    ASSERT_TRUE(edit);
    QPushButton* save = edit->findChild<QPushButton*>(QStringLiteral("SpeedButton1"));
    ASSERT_TRUE(save);
    expectRefused({"Cur File(*.cur)", "Wmf File(*.wmf)"}, out.path(), [save] { save->click(); });
    // x.png under "Wmf File" is a PNG file, not a metafile.
    const auto outcome = answerSave(QStringLiteral("Wmf File(*.wmf)"), test::qtPath(out / "x.png"), false);
    save->click();
    EXPECT_TRUE(outcome->answered);
    const auto png = test::readBytes(out / "x.png");
    ASSERT_GE(png.size(), 4u);
    EXPECT_EQ(png[1], 'P');
    // Without an extension, the entry's format: a cursor.
    const auto cursor = answerSave(QStringLiteral("Cur File(*.cur)"), test::qtPath(out / "a"), false);
    save->click();
    EXPECT_TRUE(cursor->answered);
    const auto cur = test::readBytes(out / "a.cur");
    ASSERT_GE(cur.size(), 4u);
    EXPECT_EQ(cur[2], 2);
    edit->close();
}
