// The shared save-picture dialog, driven through Qt's real file dialog.
#include "gui/common/SavePicture.h"
#include "gui/app/MainWindow.h"
#include "gui/common/Prompts.h"

#include "TestSupport.h"
#include "gui/support/DialogDesktop.h"
#include "gui/support/ModalBoxes.h"
#include "gui/support/QtPrinting.h"
#include "gui/support/Widgets.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QListView>
#include <QPointer>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

using namespace vextral;
using vextral::test::fileHead;
using vextral::test::fixture;
using vextral::test::qtPath;
using vextral::test::TempDir;
using vextral::test::typeNameAndAccept;
using vextral::test::waitUntil;
namespace fs = std::filesystem;

namespace {

void answerNextFileDialog(std::function<void(QFileDialog&)> act) { test::answerNextModal<QFileDialog>(std::move(act)); }

// Picks a filter entry in the dialog's file type box, as a user does.
void chooseFilter(QFileDialog& dialog, const QString& entry)
{
    ASSERT_TRUE(test::chooseFileType(dialog, entry)) << entry.toStdString();
    EXPECT_EQ(dialog.selectedNameFilter(), entry);
}

const std::vector<std::uint8_t> kJpegStart = {0xFF, 0xD8, 0xFF};
const std::vector<std::uint8_t> kPngStart = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};

} // namespace

TEST(SavePicture, ReopensOnTheLastEntryAndAddsTheShownEntrysExtension)
{
    gui::QtPrompts prompts;
    TempDir home, out;
    gui::MainWindow w(prompts, home.path().string());
    w.show();
    ASSERT_TRUE(test::harvestAndSelect(w, qtPath(fixture("multi.ico"))));
    ASSERT_EQ(w.catalogue().itemCount(), 1);
    QAction* save = w.findChild<QAction*>(QStringLiteral("menuSave"));

    // First use: the dialog opens on "Bmp File"; the user picks "Jpg File" and types a full name.
    answerNextFileDialog([&](QFileDialog& dialog) {
        EXPECT_EQ(dialog.selectedNameFilter(), "Bmp File(*.bmp)");
        EXPECT_EQ(dialog.nameFilters(), w.savePicture().filters());
        chooseFilter(dialog, QStringLiteral("Jpg File(*.jpg)"));
        typeNameAndAccept(dialog, qtPath(out / "first.jpg"));
    });
    save->trigger();
    EXPECT_EQ(fileHead(out / "first.jpg", 3), kJpegStart);

    // It reopens on "Jpg File", and a name typed without an extension gets ".jpg".
    answerNextFileDialog([&](QFileDialog& dialog) {
        EXPECT_EQ(dialog.selectedNameFilter(), "Jpg File(*.jpg)");
        EXPECT_EQ(dialog.defaultSuffix(), "jpg");
        typeNameAndAccept(dialog, QStringLiteral("third"));
    });
    save->trigger();
    EXPECT_EQ(fileHead(out / "third.jpg", 3), kJpegStart);
    EXPECT_FALSE(fs::exists(out / "third"));

    // Another entry picked in the dialog brings its own extension.
    answerNextFileDialog([&](QFileDialog& dialog) {
        chooseFilter(dialog, QStringLiteral("Png File(*.png)"));
        EXPECT_EQ(dialog.defaultSuffix(), "png");
        typeNameAndAccept(dialog, QStringLiteral("fourth"));
    });
    save->trigger();
    EXPECT_EQ(fileHead(out / "fourth.png", 8), kPngStart);
    EXPECT_FALSE(fs::exists(out / "fourth.jpg"));
    EXPECT_EQ(w.savePicture().filterIndex(), 9);
    EXPECT_EQ(w.savePicture().defaultExtension(), "png");
    EXPECT_EQ(w.savePicture().lastName(), qtPath(out / "fourth.png"));

    // A cancel changes nothing.
    answerNextFileDialog([](QFileDialog& dialog) {
        EXPECT_EQ(dialog.selectedNameFilter(), "Png File(*.png)");
        dialog.reject();
    });
    save->trigger();
    EXPECT_EQ(w.savePicture().lastName(), qtPath(out / "fourth.png"));
    EXPECT_EQ(w.savePicture().filterIndex(), 9);
}

TEST(SavePicture, FilterExtensionIsTheFirstPatterns)
{
    EXPECT_EQ(gui::filterExtension(QStringLiteral("Jpg File(*.jpg)")), "jpg");
    EXPECT_EQ(gui::filterExtension(QStringLiteral("Pictures (*.png *.bmp)")), "png");
    EXPECT_EQ(gui::filterExtension(QStringLiteral("Exe files(*.exe) (*.exe)")), "exe");
    EXPECT_EQ(gui::filterExtension(QStringLiteral("All files(*.*) (*)")), "");
    EXPECT_EQ(gui::filterExtension(QStringLiteral("Any (*.*)")), "");
    EXPECT_EQ(gui::filterExtension(QStringLiteral("No patterns")), "");
}
