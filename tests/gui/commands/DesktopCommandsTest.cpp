// The desktop commands of the main window: the clipboard, the wallpaper, the
// external editor, the user guide, the home page and the mail to the author.
#include "gui/commands/DesktopCommands.h"
#include "core/ProductInfo.h"
#include "gui/app/MainWindow.h"
#include "platform/IconExtractor.h"

#include "TestSupport.h"
#include "gui/support/DesktopOpener.h"
#include "gui/support/ScriptedPrompts.h"
#include "gui/support/Widgets.h"

#include <QAction>
#include <QClipboard>
#include <QCoreApplication>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QListView>
#include <QMimeData>
#include <QToolButton>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <optional>

using namespace vextral;
using vextral::gui::MainWindow;
using vextral::test::fixture;
using vextral::test::qtPath;
using vextral::test::ScriptedPrompts;
using vextral::test::TempDir;
using vextral::test::waitUntil;
namespace fs = std::filesystem;

namespace {

// A main window whose program folder has a space in its path.
struct Window {
    ScriptedPrompts prompts;
    TempDir base;
    fs::path folder = base / "my icons";
    std::optional<MainWindow> window;

    explicit Window(const std::string& optionIni = {})
    {
        fs::create_directories(folder);
        if (!optionIni.empty()) std::ofstream(folder / "Option.ini") << optionIni;
        window.emplace(prompts, folder.string());
        window->addDroppedNames({qtPath(fixture("icons64.dll"))});
        window->findChild<QToolButton*>(QStringLiteral("tbtSearch"))->click();
    }
    void trigger(const char* name) { window->findChild<QAction*>(QLatin1String(name))->trigger(); }
    void select(int row)
    {
        auto* view = window->findChild<QListView*>(QStringLiteral("ListIcon"));
        view->selectionModel()->select(view->model()->index(row, 0), QItemSelectionModel::ClearAndSelect);
    }
};

std::string gsettingsGet(const char* key)
{
    std::string out;
    EXPECT_EQ(test::runCommand(std::string("gsettings get org.gnome.desktop.background ") + key, &out), 0);
    return out;
}

QImage rgb(const QImage& image) { return image.convertToFormat(QImage::Format_RGB32); }

std::string optionIni(const Window& w)
{
    const std::vector<std::uint8_t> bytes = test::readBytes(w.folder / "Option.ini");
    return {bytes.begin(), bytes.end()};
}

} // namespace

TEST(DesktopCommands, ClipboardTakesTheSelectedIconOverTheBackground)
{
    Window w("[Icon]\nBackground=clAqua\n");
    QGuiApplication::clipboard()->clear();
    w.trigger("menuClipboard");
    EXPECT_EQ(w.prompts.informations, QStringList {"Please select an icon to copy to clipboard."});
    EXPECT_TRUE(QGuiApplication::clipboard()->image().isNull());

    w.select(0);
    w.trigger("popupClipboard");
    const QImage aqua = QGuiApplication::clipboard()->image();
    EXPECT_EQ(aqua.size(), QSize(32, 32));
    EXPECT_EQ(aqua.pixelColor(0, 0), QColor(0, 255, 255)); // a transparent pixel
    EXPECT_EQ(aqua.pixelColor(16, 16), QColor(255, 255, 0));

    // The settings as Option.ini holds them now.
    std::ofstream(w.folder / "Option.ini") << "[Icon]\nBackground=clYellow\n";
    w.window->loadSettings();
    w.trigger("menuClipboard");
    const QImage yellow = QGuiApplication::clipboard()->image();
    EXPECT_EQ(yellow.size(), QSize(32, 32));
    EXPECT_EQ(yellow.pixelColor(0, 0), QColor(255, 255, 0));
    EXPECT_EQ(yellow.pixelColor(16, 16), QColor(255, 255, 0));
    // Another icon: another picture.
    w.select(3);
    w.trigger("menuClipboard");
    EXPECT_NE(rgb(QGuiApplication::clipboard()->image()), rgb(yellow));
    EXPECT_EQ(w.prompts.informations.size(), 1);
    EXPECT_TRUE(w.prompts.errors.isEmpty());
}

TEST(DesktopCommands, WallpaperThroughGSettingsOrAClearError)
{
    TempDir config;
    test::ScopedEnv backend("GSETTINGS_BACKEND", "keyfile");
    test::ScopedEnv home("XDG_CONFIG_HOME", config.path().c_str());
    test::ScopedEnv session("DESKTOP_SESSION", nullptr);
    std::optional<test::ScopedEnv> desktop;
    desktop.emplace("XDG_CURRENT_DESKTOP", "openbox");
    Window w;
    const std::string before = gsettingsGet("picture-uri");
    const fs::path bmp = w.folder / "Vextral.bmp";
    const std::string uri = "'file://" + w.folder.parent_path().string() + "/my%20icons/Vextral.bmp'\n";

    // No selection: nothing at all.
    w.trigger("menuCentre");
    EXPECT_TRUE(w.prompts.errors.isEmpty() && w.prompts.informations.isEmpty());
    // No desktop to take it: an error, and no file written.
    w.select(0);
    w.trigger("menuCentre");
    EXPECT_EQ(w.prompts.errors, QStringList {"No supported desktop was found to set the wallpaper on (GNOME, "
                                             "Cinnamon, MATE, KDE Plasma or Xfce)."});
    EXPECT_FALSE(fs::exists(bmp));
    EXPECT_EQ(gsettingsGet("picture-uri"), before);

    desktop.emplace("XDG_CURRENT_DESKTOP", "ubuntu:GNOME");
    w.prompts.errors.clear();
    const std::pair<const char*, const char*> modes[] = {
        {"menuCentre", "'centered'\n"}, {"popupTiled", "'wallpaper'\n"},   {"menuStretch", "'stretched'\n"},
        {"menuTiled", "'wallpaper'\n"}, {"popupStretch", "'stretched'\n"}, {"popupCentre", "'centered'\n"}};
    int row = 0;
    for (const auto& [item, option] : modes) {
        // Each takes the selected icon, drawn over white as the clipboard has it with the default background.
        w.select(row);
        w.trigger("menuClipboard");
        w.trigger(item);
        EXPECT_EQ(gsettingsGet("picture-options"), option) << item;
        EXPECT_EQ(gsettingsGet("picture-uri"), uri);
        EXPECT_EQ(gsettingsGet("picture-uri-dark"), uri);
        const QImage written(qtPath(bmp));
        EXPECT_EQ(written.size(), QSize(32, 32));
        EXPECT_EQ(rgb(written), rgb(QGuiApplication::clipboard()->image())) << item;
        if (row == 0) {
            EXPECT_EQ(written.pixelColor(0, 0), QColor(Qt::white)); // a transparent pixel
        }
        row = (row + 1) % 4;
    }
    EXPECT_TRUE(w.prompts.errors.isEmpty()) << w.prompts.errors.join('\n').toStdString();

    // A picture that cannot be written: the error, and the desktop keeps its wallpaper.
    fs::remove_all(w.folder);
    w.trigger("menuStretch");
    ASSERT_EQ(w.prompts.errors.size(), 1);
    EXPECT_TRUE(w.prompts.errors[0].startsWith("Cannot create file " + qtPath(bmp)))
        << w.prompts.errors[0].toStdString();
    EXPECT_EQ(gsettingsGet("picture-options"), "'centered'\n");
}

TEST(DesktopCommands, EditorGetsTheFileAsOneArgument)
{
    TempDir tools;
    fs::create_directories(tools / "my tools");
    const fs::path editor = tools / "my tools/record editor";
    const fs::path record = tools / "arguments";
    std::ofstream(editor) << "#!/bin/sh\nprintf '%s\\n' \"$#\" \"$@\" > '" << (tools / "partial").string() << "'\nmv '"
                          << (tools / "partial").string() << "' '" << record.string() << "'\n";
    fs::permissions(editor, fs::perms::owner_all);
    Window w("[Icon]\nBackground=clRed\nEdit=" + editor.string() + "\n");

    w.trigger("menuRun");
    EXPECT_EQ(w.prompts.informations, QStringList {"Please select an icon to edit."});

    w.select(0);
    w.trigger("menuRun");
    waitUntil([&record] { return fs::exists(record); }, 10000);
    std::ifstream in(record);
    const std::string recorded((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(recorded, "1\n" + (w.folder / "Image.bmp").string() + "\n");
    // The picture over the settings' background, 24 bits a pixel.
    const QImage image(qtPath(w.folder / "Image.bmp"));
    EXPECT_EQ(image.size(), QSize(32, 32));
    EXPECT_EQ(image.pixelColor(0, 0), QColor(255, 0, 0));
    EXPECT_EQ(test::readBytes(w.folder / "Image.bmp").at(28), 24);
    EXPECT_TRUE(w.prompts.errors.isEmpty());

    // An editor that cannot be started says so.
    std::ofstream(w.folder / "Option.ini") << "[Icon]\nEdit=/no/such/editor\n";
    w.window->loadSettings();
    w.trigger("menuRun");
    ASSERT_TRUE(waitUntil([&] { return w.prompts.errors.size() == 1; }));
    EXPECT_TRUE(w.prompts.errors[0].startsWith("Cannot start the editor \"/no/such/editor\": "))
        << w.prompts.errors[0].toStdString();
}

TEST(DesktopCommands, GuideHomePageAndMail)
{
    test::DesktopOpener opener;
    Window w;
    // One at a time: each hand-off runs on its own.
    w.trigger("menuHompage");
    ASSERT_EQ(opener.opened(1).size(), 1);
    w.trigger("menuEmail");
    ASSERT_EQ(opener.opened(2).size(), 2);
    w.window->findChild<QToolButton*>(QStringLiteral("tbtHelp"))->click();
    const QStringList opened = opener.opened(3);
    ASSERT_EQ(opened.size(), 3);
    EXPECT_EQ(opened[0], QString::fromLatin1(product::kHomePage));
    EXPECT_TRUE(opened[0].endsWith("/index.htm"));
    EXPECT_EQ(opened[1], QString::fromLatin1(product::kAuthorMail));
    EXPECT_TRUE(opened[1].startsWith("mailto:"));
    // The guide found in the source tree when the program is not installed.
    EXPECT_TRUE(opened[2].endsWith("/docs/help/index.html"));
    EXPECT_TRUE(QFileInfo(opened[2]).isFile());

    // Installed as `make install` lays it out: the guide of the program's
    // own prefix, before the source tree's.
    TempDir prefix;
    fs::create_directories(prefix / "bin");
    fs::create_directories(prefix / "share/vextral/help");
    std::ofstream(prefix / "share/vextral/help/index.html") << "<html></html>\n";
    gui::openUserGuide(*w.window, gui::userGuidePlaces(qtPath(prefix / "bin")));
    ASSERT_EQ(opener.opened(4).size(), 4);
    EXPECT_EQ(opener.opened(4)[3], qtPath(prefix / "share/vextral/help/index.html"));

    // No guide anywhere: the error names where it was looked for, and nothing opens.
    gui::openUserGuide(*w.window, {"/no/such/share/vextral/help/index.html", "/no/such/docs/help/index.html"});
    EXPECT_EQ(w.prompts.errors, QStringList {"The user guide was not found: /no/such/share/vextral/help/index.html, "
                                             "/no/such/docs/help/index.html"});
    EXPECT_EQ(opener.opened(0).size(), 4);
    EXPECT_TRUE(w.prompts.errors.size() == 1);
}

TEST(DesktopCommands, AHandOffThatFailsSaysWhy)
{
    // The desktop has no application for the address: each hand-off's
    // failure is told in an error box, in the opener's own words.
    test::DesktopOpener opener(true);
    Window w;
    w.trigger("menuEmail");
    ASSERT_TRUE(waitUntil([&] { return w.prompts.errors.size() == 1; }));
    const QString mail = QString::fromLatin1(product::kAuthorMail);
    EXPECT_EQ(w.prompts.errors[0],
              "Cannot open " + mail + ": xdg-open: no method available for opening '" + mail + "'");
    w.window->findChild<QToolButton*>(QStringLiteral("tbtHelp"))->click();
    ASSERT_TRUE(waitUntil([&] { return w.prompts.errors.size() == 2; }));
    EXPECT_TRUE(w.prompts.errors[1].startsWith("Cannot open /")) << w.prompts.errors[1].toStdString();
    EXPECT_TRUE(w.prompts.errors[1].endsWith("/docs/help/index.html'")) << w.prompts.errors[1].toStdString();

    // The editor is the desktop's opener too, unless the settings name one;
    // one that ends at once with a failure and no words gives its status.
    w.select(0);
    w.trigger("menuRun");
    ASSERT_TRUE(waitUntil([&] { return w.prompts.errors.size() == 3; }));
    EXPECT_TRUE(w.prompts.errors[2].startsWith("Cannot start the editor \"xdg-open\": xdg-open: no method"))
        << w.prompts.errors[2].toStdString();
    std::ofstream(w.folder / "Option.ini") << "[Icon]\nEdit=/bin/false\n";
    w.window->loadSettings();
    w.trigger("menuRun");
    ASSERT_TRUE(waitUntil([&] { return w.prompts.errors.size() == 4; }));
    EXPECT_EQ(w.prompts.errors[3], "Cannot start the editor \"/bin/false\": /bin/false ended with exit status 1");
}

TEST(DesktopCommands, UserGuidePlaces)
{
    // The data folder of the program's prefix (never /usr/share/doc, which an
    // installation may leave out), then the source tree for `make run`.
    const QStringList installed = gui::userGuidePlaces(QStringLiteral("/usr/bin"));
    ASSERT_EQ(installed.size(), 2);
    EXPECT_EQ(installed[0], "/usr/share/vextral/help/index.html");
    EXPECT_TRUE(installed[1].endsWith("/docs/help/index.html"));
    EXPECT_TRUE(QFileInfo(installed[1]).isFile());
    EXPECT_EQ(gui::userGuidePlaces(QStringLiteral("/opt/vextral/bin/"))[0],
              "/opt/vextral/share/vextral/help/index.html");
    for (const QString& place : installed)
        EXPECT_FALSE(place.contains(QStringLiteral("/share/doc/"))) << place.toStdString();
}

TEST(DesktopCommands, TransparentBackgroundPutsAPngWithAlphaBesideTheBitmap)
{
    Window w;
    auto* transparent = w.window->findChild<QAction*>(QStringLiteral("menuTransparent"));
    ASSERT_NE(transparent, nullptr);
    EXPECT_EQ(transparent->text(), "Transparent bac&kground");
    EXPECT_FALSE(transparent->isChecked());
    w.trigger("menuTransparent");
    EXPECT_TRUE(transparent->isChecked());
    EXPECT_NE(optionIni(w).find("Transparent=1"), std::string::npos);

    w.select(0);
    w.trigger("menuClipboard");
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    ASSERT_NE(data, nullptr);
    ASSERT_TRUE(data->hasFormat(QStringLiteral("image/png")));
    const QImage png = QImage::fromData(data->data(QStringLiteral("image/png")), "PNG");
    ASSERT_EQ(png.size(), QSize(32, 32));
    EXPECT_TRUE(png.hasAlphaChannel());
    EXPECT_EQ(png.pixelColor(0, 0).alpha(), 0); // clear, not white
    EXPECT_EQ(png.pixelColor(16, 16).alpha(), 255);
    // A program that takes only a bitmap gets it over the background.
    EXPECT_EQ(QGuiApplication::clipboard()->image().pixelColor(0, 0), QColor(255, 255, 255));
}

TEST(DesktopCommands, SaveEachImageWritesTheSelectedIconsImagesToTheFolderChosen)
{
    Window w;
    TempDir out;
    w.trigger("popupEachImage");
    EXPECT_EQ(w.prompts.informations, QStringList {"Please select an icon to save."});
    w.select(0);
    w.prompts.folderAnswers << qtPath(out.path());
    w.trigger("popupEachImage");
    ASSERT_EQ(w.prompts.informations.size(), 2);
    EXPECT_EQ(w.prompts.informations.last(), QStringLiteral("Wrote 6 images to %1.").arg(qtPath(out.path())));
    EXPECT_TRUE(fs::exists(out / "icons64.dll_0_256x256x32.png"));
    EXPECT_TRUE(fs::exists(out / "icons64.dll_0_16x16x4.png"));
    EXPECT_TRUE(w.prompts.errors.isEmpty());
}

TEST(DesktopCommands, IncludeCursorsHarvestsAndMarksThemFromTheNextHarvestOn)
{
    Window w;
    const int before = w.window->findChild<QListView*>(QStringLiteral("ListIcon"))->model()->rowCount();
    w.trigger("menuCursors");
    EXPECT_NE(optionIni(w).find("Cursors=1"), std::string::npos);
    auto* list = w.window->findChild<QListView*>(QStringLiteral("ListIcon"));
    EXPECT_EQ(list->model()->rowCount(), before); // the list already harvested stays
    w.window->addDroppedNames({qtPath(fixture("cursors32.dll"))});
    w.window->findChild<QToolButton*>(QStringLiteral("tbtSearch"))->click();
    const platform::IconSource source =
        platform::IconSource::open(fixture("cursors32.dll").string(), {}, {.cursors = true});
    int cursors = 0;
    for (int i = 0; i < source.count(); ++i) cursors += source.isCursor(i) ? 1 : 0;
    ASSERT_GT(cursors, 0);
    int marked = 0;
    for (int row = 0; row < list->model()->rowCount(); ++row) {
        const QString said = list->model()->index(row, 0).data(Qt::AccessibleTextRole).toString();
        if (said.contains(QStringLiteral(", cursor "))) ++marked;
    }
    EXPECT_EQ(marked, cursors);
}
