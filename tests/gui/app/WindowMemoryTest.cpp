// The main window comes back as it was closed: a new window over the same
// program folder reads what the last one kept in Option.ini's Window section.
#include "gui/app/MainWindow.h"
#include "gui/saveall/FolderTree.h"
#include "gui/saveall/SaveAllDialog.h"
#include "settings/WindowState.h"

#include "TestSupport.h"
#include "gui/support/ScriptedPrompts.h"
#include "gui/support/Widgets.h"

#include <QAction>
#include <QApplication>
#include <QDropEvent>
#include <QGuiApplication>
#include <QMenu>
#include <QMimeData>
#include <QScreen>
#include <QSplitter>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

using namespace vextral;
using vextral::gui::IconLayout;
using vextral::gui::MainWindow;
using vextral::test::control;
using vextral::test::entries;
using vextral::test::fixture;
using vextral::test::qtPath;
using vextral::test::ScriptedPrompts;
using vextral::test::TempDir;
using vextral::test::waitUntil;
namespace fs = std::filesystem;

namespace {

// Other programs' sections, with a blank line and CR LF ends, as they wrote them.
const std::string kOtherSections = "[Icon]\r\nBackground=clRed\r\nJpeg=70\r\n\r\n[File]\r\nExe File=0\r\n"
                                   "[Internet]\r\nProxyIp=proxy.example\r\nFromEmail=me@example.org\r\n";

// Waits for the start-up timer, which harvests the arguments or brings back
// the stored lists.
bool started(MainWindow& w)
{
    auto* timer = control<QTimer>(&w, "TimVextral");
    return waitUntil([timer] { return !timer->isActive(); });
}

QRect available() { return QGuiApplication::primaryScreen()->availableGeometry(); }

QMenu& recentMenu(MainWindow& w) { return *control<QMenu>(&w, "menuRecent"); }

// The paths the Recent submenu shows, in its order, and whether each is enabled.
QStringList recentItems(MainWindow& w)
{
    emit recentMenu(w).aboutToShow();
    QStringList items;
    for (int i = 1; i <= 10; ++i) {
        auto* item = control<QAction>(&w, QStringLiteral("menuRecent%1").arg(i).toLatin1().constData());
        if (!item->isVisible()) continue;
        items << item->data().toString() + (item->isEnabled() ? QString() : QStringLiteral(" (disabled)"));
    }
    return items;
}

QAction* recentItem(MainWindow& w, int i)
{
    return control<QAction>(&w, QStringLiteral("menuRecent%1").arg(i).toLatin1().constData());
}

void drop(MainWindow& w, const QString& path)
{
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(path)});
    // A drop reaches the window that took the drag's entry.
    QDragEnterEvent enter(QPoint(300, 200), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&w, &enter);
    QDropEvent event(QPointF(300, 200), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&w, &event);
}

} // namespace

TEST(WindowMemory, ANewWindowComesBackAsTheLastWasClosed)
{
    TempDir home;
    std::ofstream(home / "Option.ini", std::ios::binary) << kOtherSections;
    // Real folders and files whose names hold what an INI file would take apart.
    TempDir sources;
    QStringList folders, files;
    for (const char* name : {" lead and trail ", "a=b;c", "100% [x]", "Bücher ünï", "line\nbreak"}) {
        fs::create_directory(sources / name);
        folders << qtPath(sources / name);
    }
    for (const char* name : {"x=1;y.dll", "ico ü.ico"}) {
        fs::copy_file(fixture("tie.ico"), sources / name);
        files << qtPath(sources / name);
    }
    const QRect geometry(available().x() + 40, available().y() + 30, 700, 500);
    {
        ScriptedPrompts prompts;
        MainWindow w(prompts, home.path().string());
        w.show();
        ASSERT_TRUE(started(w));
        w.setGeometry(geometry);
        auto* splitter = control<QSplitter>(&w, "Splitter1");
        splitter->setSizes({260, 435});
        w.addDroppedNames(folders + files);
        w.showIcons(IconLayout::List);
        w.setIconZoom(64);
        ASSERT_TRUE(waitUntil([&] { return w.geometry() == geometry; }));
        w.close();
    }
    // The other programs' keys are as they were, in the file's own line ends.
    const std::string text = vextral::test::fileText(home / "Option.ini");
    EXPECT_TRUE(text.starts_with(kOtherSections)) << text;

    ScriptedPrompts prompts;
    MainWindow w(prompts, home.path().string());
    EXPECT_EQ(w.size(), geometry.size()); // before it shows
    EXPECT_EQ(w.iconLayout(), IconLayout::List);
    EXPECT_EQ(w.iconZoom(), 64);
    EXPECT_EQ(w.settings().background, 0x000000FFu); // the options still load
    EXPECT_EQ(w.settings().jpegQuality, 70);
    w.show();
    ASSERT_TRUE(started(w));
    // In its place, not lower by its frame.
    EXPECT_TRUE(waitUntil([&] { return w.geometry() == geometry; })) << w.geometry().x() << "," << w.geometry().y();
    EXPECT_EQ(entries(control<QListWidget>(&w, "lstDirectory")), folders);
    EXPECT_EQ(entries(control<QListWidget>(&w, "lstFile")), files);
    EXPECT_EQ(control<QSplitter>(&w, "Splitter1")->sizes(), (QList<int> {260, 435}));
    // The lists came back without a harvest: the user starts it.
    EXPECT_EQ(w.catalogue().itemCount(), 0);
    EXPECT_EQ(w.run().runFlag(), "");
}

TEST(WindowMemory, ArgumentsWinOverTheStoredLists)
{
    TempDir home;
    TempDir folder;
    settings::WindowState stored;
    stored.folders = {folder.path().string()};
    stored.files = {fixture("library.icl").string()};
    stored.save(settings::ProfileFile((home / "Option.ini").string()));

    ScriptedPrompts prompts;
    {
        // Named on the command line (main() drops them before the timer fires).
        MainWindow w(prompts, home.path().string());
        w.addDroppedNames({qtPath(fixture("multi.ico"))});
        ASSERT_TRUE(waitUntil([&w] { return w.catalogue().itemCount() == 1; }));
        EXPECT_EQ(entries(control<QListWidget>(&w, "lstFile")), QStringList {qtPath(fixture("multi.ico"))});
        EXPECT_EQ(control<QListWidget>(&w, "lstDirectory")->count(), 0);
    }
    // Without arguments the stored lists come back.
    MainWindow w(prompts, home.path().string());
    ASSERT_TRUE(started(w));
    EXPECT_EQ(entries(control<QListWidget>(&w, "lstDirectory")), QStringList {qtPath(folder.path())});
    EXPECT_EQ(entries(control<QListWidget>(&w, "lstFile")), QStringList {qtPath(fixture("library.icl"))});
    EXPECT_EQ(w.catalogue().itemCount(), 0);
}

TEST(WindowMemory, TheWindowOpensOnTheScreen)
{
    const QRect screen = available();
    const auto opened = [](const TempDir& home) {
        ScriptedPrompts prompts;
        MainWindow w(prompts, home.path().string());
        return std::make_pair(w.geometry(), w.windowState());
    };
    // Nothing stored, or nothing of sense: a size made for the screen, centred.
    for (const char* section : {"", "[Window]\nLeft=x\nTop=-\nWidth=-300\nHeight=99999999999\nSplitter=a,b\n"
                                    "Folders=2000000000\nLayout=Huge\nZoom=-1\n"}) {
        TempDir home;
        std::ofstream(home / "Option.ini") << section;
        const QRect first = opened(home).first;
        EXPECT_TRUE(screen.contains(first)) << section;
        EXPECT_GE(first.width(), std::min(615, screen.width()));
        EXPECT_GE(first.height(), std::min(436, screen.height()));
        EXPECT_LE(std::abs(first.center().x() - screen.center().x()), 1);
        EXPECT_LE(std::abs(first.center().y() - screen.center().y()), 1);
    }
    // Off every screen, or larger than the screen: fitted to it.
    TempDir home;
    std::ofstream(home / "Option.ini") << "[Window]\nLeft=-9000\nTop=20000\nWidth=640\nHeight=480\n";
    EXPECT_EQ(opened(home).first, QRect(screen.x(), screen.bottom() - 479, 640, 480));
    std::ofstream(home / "Option.ini") << "[Window]\nLeft=10\nTop=10\nWidth=30000\nHeight=20000\n";
    EXPECT_EQ(opened(home).first, screen);

    // A maximized window is maximized again, and keeps the geometry it goes back to.
    std::ofstream(home / "Option.ini") << "[Window]\nLeft=20\nTop=30\nWidth=640\nHeight=480\nMaximized=1\n";
    EXPECT_TRUE(opened(home).second.testFlag(Qt::WindowMaximized));
    {
        ScriptedPrompts prompts;
        MainWindow w(prompts, home.path().string());
        w.show();
        ASSERT_TRUE(w.isMaximized());
        std::ofstream(home / "Option.ini") << "[Window]\n"; // what is kept comes from the window
        w.close();
    }
    const settings::WindowState kept =
        settings::WindowState::load(settings::ProfileFile((home / "Option.ini").string()));
    EXPECT_TRUE(kept.maximized);
    ASSERT_TRUE(kept.geometry);
    EXPECT_EQ(kept.geometry->width, 640);
    EXPECT_EQ(kept.geometry->height, 480);
    // Its frame's corner, as far as the frame of a maximized window tells.
    EXPECT_LE(std::abs(kept.geometry->x - 20) + std::abs(kept.geometry->y - 30), 8);
}

TEST(WindowMemory, RecentListsWhatTheUserAddedAndAddsItAgain)
{
    TempDir home;
    TempDir a, b;
    const QString icon = qtPath(fixture("tie.ico"));
    ScriptedPrompts prompts;
    {
        MainWindow w(prompts, home.path().string());
        ASSERT_TRUE(started(w));
        EXPECT_EQ(recentItems(w), QStringList());
        EXPECT_FALSE(control<QAction>(&w, "menuClearRecent")->isEnabled());

        // Add a folder, add a file, a drop; the same folder again moves it up.
        prompts.folderAnswers = {qtPath(a.path()), qtPath(a.path())};
        prompts.fileAnswers = {icon};
        control<QToolButton>(&w, "SpeedButton1")->click();
        control<QToolButton>(&w, "SpeedButton4")->click();
        drop(w, qtPath(b.path()));
        EXPECT_EQ(recentItems(w), (QStringList {qtPath(b.path()), icon, qtPath(a.path())}));
        control<QToolButton>(&w, "SpeedButton1")->click();
        EXPECT_EQ(recentItems(w), (QStringList {qtPath(a.path()), qtPath(b.path()), icon}));
        EXPECT_EQ(recentItem(w, 1)->text(), "&1 " + qtPath(a.path()));
        // What the command line names is no choice of the menu's.
        w.addDroppedNames({qtPath(fixture("multi.ico"))});
        EXPECT_EQ(recentItems(w).size(), 3);

        // Chosen from Recent: a file to the file list, a folder to the folder
        // list, and it heads the menu.
        control<QListWidget>(&w, "lstFile")->clear();
        control<QListWidget>(&w, "lstDirectory")->clear();
        recentItem(w, 3)->trigger(); // the file
        recentItem(w, 3)->trigger(); // the dropped folder, third now
        EXPECT_EQ(entries(control<QListWidget>(&w, "lstFile")), QStringList {icon});
        EXPECT_EQ(entries(control<QListWidget>(&w, "lstDirectory")), QStringList {qtPath(b.path())});
        EXPECT_EQ(recentItems(w), (QStringList {qtPath(b.path()), icon, qtPath(a.path())}));
        w.close();
    }
    // The next window has them; a folder gone since is shown disabled.
    const QString gone = qtPath(b.path());
    fs::remove_all(b.path());
    MainWindow w(prompts, home.path().string());
    EXPECT_EQ(recentItems(w), (QStringList {gone + " (disabled)", icon, qtPath(a.path())}));
    ASSERT_TRUE(started(w));
    control<QListWidget>(&w, "lstDirectory")->clear();
    prompts.informations.clear();
    // One that goes while the menu is open is not added, and the user is told.
    emit recentMenu(w).aboutToShow();
    fs::rename(a.path(), a.path().string() + "-moved");
    recentItem(w, 3)->trigger();
    fs::rename(a.path().string() + "-moved", a.path());
    EXPECT_EQ(control<QListWidget>(&w, "lstDirectory")->count(), 0);
    EXPECT_EQ(prompts.informations, QStringList {qtPath(a.path()) + " is no longer there."});

    // Ten at the most; an ampersand in a name is no mnemonic.
    TempDir many;
    for (int i = 0; i < 12; ++i) {
        const fs::path folder = many / ("R&D " + std::to_string(i));
        fs::create_directory(folder);
        drop(w, qtPath(folder));
    }
    const QStringList ten = recentItems(w);
    ASSERT_EQ(ten.size(), 10);
    EXPECT_EQ(ten.first(), qtPath(many / "R&D 11"));
    EXPECT_EQ(recentItem(w, 10)->text(), "1&0 " + qtPath(many / "R&&D 2"));

    control<QAction>(&w, "menuClearRecent")->trigger();
    EXPECT_EQ(recentItems(w), QStringList());
    w.close();
    MainWindow after(prompts, home.path().string());
    EXPECT_EQ(recentItems(after), QStringList());
}

TEST(WindowMemory, ChoosersOpenWhereTheyWereLastUsed)
{
    TempDir home;
    TempDir folders;
    fs::create_directories(folders / "scan/inner");
    fs::create_directories(folders / "saved icons");
    const QString icon = qtPath(fixture("tie.ico"));
    {
        ScriptedPrompts prompts;
        MainWindow w(prompts, home.path().string());
        ASSERT_TRUE(started(w));
        prompts.folderAnswers = {qtPath(folders / "scan/inner"), QString()};
        prompts.fileAnswers = {icon};
        control<QToolButton>(&w, "SpeedButton1")->click();
        control<QToolButton>(&w, "SpeedButton1")->click(); // cancelled: remembered as before
        control<QToolButton>(&w, "SpeedButton4")->click();
        EXPECT_EQ(prompts.startFolders, (QStringList {QString(), qtPath(folders / "scan/inner"), QString()}));
        w.close();
    }
    // Save all's folder, chosen in its tree, the next time it opens.
    {
        ScriptedPrompts prompts;
        MainWindow w(prompts, home.path().string());
        gui::SaveAllDialog dialog(w.catalogue(), 86, w.prompts(), &w);
        auto* tree = control<gui::FolderTree>(&dialog, "dirSaveAll");
        EXPECT_EQ(tree->selectedFolderPath(), "");
        QTreeWidgetItem* node = tree->nodeFor(qtPath(folders / "saved icons"));
        ASSERT_TRUE(node);
        tree->setCurrentItem(node);
        control<QAbstractButton>(&dialog, "SpeedButton1")->click(); // no icon: nothing written, but chosen
        w.close();
    }
    ScriptedPrompts prompts;
    MainWindow w(prompts, home.path().string());
    control<QToolButton>(&w, "SpeedButton1")->click();
    control<QToolButton>(&w, "SpeedButton4")->click();
    EXPECT_EQ(prompts.startFolders,
              (QStringList {qtPath(folders / "scan/inner"), qtPath(fixture("tie.ico").parent_path())}));
    gui::SaveAllDialog dialog(w.catalogue(), 86, w.prompts(), &w);
    EXPECT_EQ(control<gui::FolderTree>(&dialog, "dirSaveAll")->selectedFolderPath(), qtPath(folders / "saved icons"));
}
