// The real dialogs of QtPrompts: the open dialog and the folder browser that
// the source lists use, and the message boxes, answered from a timer.
#include "gui/common/Prompts.h"
#include "gui/app/MainWindow.h"

#include "TestSupport.h"
#include "gui/support/ModalBoxes.h"
#include "gui/support/QtPrinting.h"
#include "gui/support/Widgets.h"

#include <QAbstractItemModel>
#include <QColorDialog>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QMessageBox>
#include <QScreen>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include <fstream>

using namespace vextral;
using vextral::test::qtPath;
using vextral::test::TempDir;
namespace fs = std::filesystem;

namespace {

// The program's working folder, for the life of the object.
class ScopedWorkingFolder {
public:
    explicit ScopedWorkingFolder(const QString& folder) : old_(QDir::currentPath()) { QDir::setCurrent(folder); }
    ~ScopedWorkingFolder() { QDir::setCurrent(old_); }

private:
    QString old_;
};

// The names the dialog's file list shows, once they are those expected
// (the list is read in the background); what it shows after three seconds otherwise.
QStringList shownNames(QFileDialog& dialog, const QStringList& expected)
{
    auto* view = dialog.findChild<QListView*>(QStringLiteral("listView"));
    if (!view) return {QStringLiteral("(no file list)")};
    QStringList names;
    (void)QTest::qWaitFor(
        [&] {
            names.clear();
            const QAbstractItemModel* model = view->model();
            for (int row = 0; row < model->rowCount(view->rootIndex()); ++row)
                names << model->index(row, 0, view->rootIndex()).data().toString();
            names.sort();
            return names == expected;
        },
        3000);
    return names;
}

} // namespace

TEST(QtPrompts, SourceBrowsersStartAtHomeOrTheLastFolderAndShowTheFilterTexts)
{
    TempDir home, work, icons;
    fs::create_directories(icons / "sub");
    for (const char* name : {"FOO.EXE", "bar.dll", "Tie.Ico", "notes", "readme.txt"})
        std::ofstream(icons / name) << "x";
    const vextral::test::ScopedEnv homeVariable("HOME", home.path().string());
    const ScopedWorkingFolder workingFolder(qtPath(work.path()));
    gui::QtPrompts prompts;
    gui::MainWindow w(prompts, home.path().string());
    w.show();

    // The folder browser opens in the home folder, not the working folder.
    test::answerNextModal<QFileDialog>([&](QFileDialog& dialog) {
        EXPECT_EQ(dialog.directory().absolutePath(), qtPath(home.path()));
        dialog.setDirectory(qtPath(icons.path()));
        static_cast<QDialog&>(dialog).accept(); // what the Open or Choose button does
    });
    w.findChild<QToolButton*>(QStringLiteral("SpeedButton1"))->click();
    ASSERT_EQ(w.folderList().count(), 1);
    EXPECT_EQ(w.folderList().item(0)->text(), qtPath(icons.path()));

    // The open dialog opens in the folder used last, shows each filter text
    // exactly as written and matches names without regard to case.
    test::answerNextModal<QFileDialog>([&](QFileDialog& dialog) {
        EXPECT_EQ(dialog.directory().absolutePath(), qtPath(icons.path()));
        auto* types = dialog.findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
        ASSERT_TRUE(types);
        QStringList texts;
        for (int i = 0; i < types->count(); ++i) texts << types->itemText(i);
        EXPECT_EQ(texts, (QStringList {"exe,dll,cpl,scr,icl,ocx,ico,nil,bmp,jpg files", "Exe files(*.exe)",
                                       "Dll files(*.dll)", "Cpl files(*.cpl)", "Scr files(*.scr)", "Icl files(*.icl)",
                                       "Ocx files(*.ocx)", "Ico files(*.ico)", "Nil files(*.nil)", "Bmp files(*.bmp)",
                                       "Jpg files(*.jpg)", "All files(*.*)"}));
        EXPECT_EQ(shownNames(dialog, {"FOO.EXE", "Tie.Ico", "bar.dll", "sub"}),
                  (QStringList {"FOO.EXE", "Tie.Ico", "bar.dll", "sub"}));
        ASSERT_TRUE(test::chooseFileType(dialog, QStringLiteral("Exe files(*.exe)")));
        EXPECT_EQ(shownNames(dialog, {"FOO.EXE", "sub"}), (QStringList {"FOO.EXE", "sub"}));
        ASSERT_TRUE(test::chooseFileType(dialog, QStringLiteral("Ico files(*.ico)")));
        EXPECT_EQ(shownNames(dialog, {"Tie.Ico", "sub"}), (QStringList {"Tie.Ico", "sub"}));
        // "*.*" is every file, as on Windows: names without a dot too.
        ASSERT_TRUE(test::chooseFileType(dialog, QStringLiteral("All files(*.*)")));
        EXPECT_EQ(shownNames(dialog, {"FOO.EXE", "Tie.Ico", "bar.dll", "notes", "readme.txt", "sub"}),
                  (QStringList {"FOO.EXE", "Tie.Ico", "bar.dll", "notes", "readme.txt", "sub"}));
        auto* name = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        ASSERT_TRUE(name);
        name->setText(QStringLiteral("FOO.EXE"));
        static_cast<QDialog&>(dialog).accept(); // what the Open or Choose button does
    });
    w.findChild<QToolButton*>(QStringLiteral("SpeedButton4"))->click();
    ASSERT_EQ(w.fileList().count(), 1);
    EXPECT_EQ(w.fileList().item(0)->text(), qtPath(icons / "FOO.EXE"));

    // A cancel changes nothing; the next dialog opens where the last choice was made.
    test::answerNextModal<QFileDialog>([&](QFileDialog& dialog) {
        EXPECT_EQ(dialog.directory().absolutePath(), qtPath(icons.path()));
        dialog.setDirectory(qtPath(icons / "sub"));
        dialog.reject();
    });
    w.findChild<QToolButton*>(QStringLiteral("SpeedButton1"))->click();
    test::answerNextModal<QFileDialog>([&](QFileDialog& dialog) {
        EXPECT_EQ(dialog.directory().absolutePath(), qtPath(icons.path()));
        dialog.reject();
    });
    w.findChild<QToolButton*>(QStringLiteral("SpeedButton4"))->click();
    EXPECT_EQ(w.folderList().count(), 1);
    EXPECT_EQ(w.fileList().count(), 1);

    // The patterns given to the dialog match without regard to case whatever dialog reads them.
    EXPECT_EQ(gui::caseFreePatterns(QStringLiteral("*.exe;*.D1l;*.*")), "*.[eE][xX][eE] *.[dD]1[lL] *");
}

TEST(QtPrompts, MessageBoxesWrapLongFileNamesWithinTheScreen)
{
    QString path = QStringLiteral("/home/someone");
    for (int i = 0; i < 12; ++i) path += QStringLiteral("/a-folder-with-a-rather-long-name-%1").arg(i);
    path += QLatin1Char('/') + QString(200, QLatin1Char('x')) + QStringLiteral(".png");
    const QString message = QStringLiteral("Cannot create file ") + path + QStringLiteral(": Permission denied");
    gui::QtPrompts prompts;
    for (const bool error : {true, false}) {
        bool answered = false;
        test::answerNextModal<QMessageBox>([&](QMessageBox& box) {
            answered = true;
            EXPECT_EQ(box.windowTitle(), "Vextral 2.1");
            EXPECT_EQ(box.icon(), error ? QMessageBox::Critical : QMessageBox::Information);
            // All of the text, and nothing else but break opportunities.
            QString text = box.text();
            text.remove(QChar(0x200B));
            EXPECT_EQ(text, error ? message + QLatin1Char('.') : message);
            // The box stays within the screen, and its text within the box, every line whole.
            const QRect screen = box.screen()->availableGeometry();
            EXPECT_LE(box.frameGeometry().width(), screen.width());
            EXPECT_LE(box.frameGeometry().height(), screen.height());
            auto* label = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
            ASSERT_TRUE(label);
            EXPECT_TRUE(box.rect().contains(label->geometry()));
            EXPECT_LE(label->minimumSizeHint().width(), label->width());
            EXPECT_LE(label->heightForWidth(label->width()), label->height());
            box.accept();
        });
        if (error) {
            prompts.error(nullptr, message);
        } else {
            prompts.information(nullptr, message);
        }
        EXPECT_TRUE(answered);
    }
    // The break opportunities fall after each "/" and within long runs without a space or "-".
    EXPECT_EQ(gui::breakableText(QStringLiteral("/a/bc d")), QStringLiteral("/\u200Ba/\u200Bbc d"));
    const QString hyphens = QStringLiteral("a-folder-with-a-rather-long-name-of-its-own");
    EXPECT_EQ(gui::breakableText(hyphens), hyphens);
    EXPECT_EQ(gui::breakableText(QString(65, QLatin1Char('x'))), QString(30, QLatin1Char('x')) + QChar(0x200B) +
                                                                     QString(30, QLatin1Char('x')) + QChar(0x200B) +
                                                                     QString(5, QLatin1Char('x')));
}

TEST(QtPrompts, TheColourDialogOpensWithTheColourItLastReturned)
{
    gui::QtPrompts prompts;
    QWidget parent;
    QColor opened;
    test::answerNextModal<QColorDialog>([&](QColorDialog& dialog) {
        opened = dialog.currentColor();
        dialog.setCurrentColor(QColor(255, 128, 64));
        dialog.accept();
    });
    EXPECT_EQ(prompts.chooseColour(&parent), QColor(255, 128, 64));
    EXPECT_EQ(opened, QColor(Qt::black)); // the first time

    test::answerNextModal<QColorDialog>([&](QColorDialog& dialog) {
        opened = dialog.currentColor();
        dialog.setCurrentColor(QColor(Qt::blue));
        dialog.reject();
    });
    EXPECT_EQ(prompts.chooseColour(&parent), std::nullopt);
    EXPECT_EQ(opened, QColor(255, 128, 64));

    test::answerNextModal<QColorDialog>([&](QColorDialog& dialog) {
        opened = dialog.currentColor();
        dialog.reject();
    });
    EXPECT_EQ(prompts.chooseColour(&parent), std::nullopt);
    EXPECT_EQ(opened, QColor(255, 128, 64)); // a cancel does not count
}
