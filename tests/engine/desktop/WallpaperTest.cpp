#include "desktop/Wallpaper.h"

#include "core/Error.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <optional>
#include <set>
#include <string>

using namespace vextral;
using namespace vextral::desktop;
using vextral::test::TempDir;

namespace {

SessionFacts facts(const std::string& current, const std::string& session = {},
                   std::set<std::string> programs = {"gsettings", "dbus-send", "xfconf-query"})
{
    return {current, session, [programs](const std::string& p) { return programs.count(p) > 0; }};
}

std::string refusal(const std::function<void()>& f)
{
    try {
        f();
    } catch (const Error& e) {
        return e.what();
    }
    return "(accepted)";
}

std::string gsettingsGet(const std::string& schema, const std::string& key)
{
    std::string out;
    EXPECT_EQ(test::runCommand("gsettings get " + schema + " " + key, &out), 0) << key;
    return out;
}

} // namespace

TEST(Wallpaper, DesktopFoundFromTheSessionOrAClearError)
{
    EXPECT_EQ(desktopKind(facts("ubuntu:GNOME")), DesktopKind::Gnome);
    EXPECT_EQ(desktopKind(facts("Budgie:GNOME")), DesktopKind::Gnome);
    EXPECT_EQ(desktopKind(facts("X-Cinnamon")), DesktopKind::Cinnamon);
    EXPECT_EQ(desktopKind(facts("mate")), DesktopKind::Mate);
    EXPECT_EQ(desktopKind(facts("sway:KDE")), DesktopKind::Kde);
    EXPECT_EQ(desktopKind(facts("XFCE")), DesktopKind::Xfce);
    // No XDG_CURRENT_DESKTOP: the session name, also as a path.
    EXPECT_EQ(desktopKind(facts("", "/usr/share/xsessions/plasma")), DesktopKind::Kde);
    EXPECT_EQ(desktopKind(facts("openbox", "openbox")), DesktopKind::None);
    EXPECT_EQ(desktopKind(facts("", "")), DesktopKind::None);

    EXPECT_EQ(refusal([] { wallpaperDesktop(facts("openbox")); }),
              "No supported desktop was found to set the wallpaper on (GNOME, Cinnamon, MATE, KDE Plasma or Xfce).");
    EXPECT_EQ(refusal([] { wallpaperDesktop(facts("KDE", "", {"gsettings"})); }),
              "The wallpaper of KDE Plasma is set with dbus-send, which was not found.");
    EXPECT_EQ(wallpaperDesktop(facts("KDE", "", {"dbus-send"})), DesktopKind::Kde);
}

TEST(Wallpaper, GnomeSettingsTakeAnyPath)
{
    TempDir config;
    test::ScopedEnv backend("GSETTINGS_BACKEND", "keyfile");
    test::ScopedEnv home("XDG_CONFIG_HOME", config.path().string());
    const std::string schema = "org.gnome.desktop.background";
    // Spaces, a quote, a percent sign and UTF-8 in the path all reach the desktop intact.
    const std::string file = (config / "it's 100% \xc3\xa9t\xc3\xa9/Vextral.bmp").string();
    const std::string uri = "'file://" + config.path().string() + "/it%27s%20100%25%20%C3%A9t%C3%A9/Vextral.bmp'\n";
    applyWallpaper(DesktopKind::Gnome, file, WallpaperMode::Tile);
    EXPECT_EQ(gsettingsGet(schema, "picture-options"), "'wallpaper'\n");
    EXPECT_EQ(gsettingsGet(schema, "picture-uri"), uri);
    EXPECT_EQ(gsettingsGet(schema, "picture-uri-dark"), uri);
    EXPECT_EQ(gvariantString("a'b\\c"), "'a\\'b\\\\c'");

    // A desktop whose settings are not installed (as on the test machines): the command and gsettings' complaint.
    if (test::runCommand("gsettings list-schemas | grep -qx org.cinnamon.desktop.background") == 0) return;
    const std::string error = refusal([&] { applyWallpaper(DesktopKind::Cinnamon, file, WallpaperMode::Center); });
    EXPECT_EQ(error.rfind("Cannot set the wallpaper: gsettings set org.cinnamon.desktop.background picture-options "
                          "centered: No such schema",
                          0),
              0u)
        << error;
}

TEST(Wallpaper, PlasmaAndXfceCommands)
{
    const auto plasma = wallpaperSteps(DesktopKind::Kde, "/home/a b/Vextral.bmp", WallpaperMode::Tile);
    ASSERT_EQ(plasma.size(), 1u);
    const Command& call = plasma[0].command;
    ASSERT_EQ(call.size(), 8u);
    EXPECT_EQ(call[0], "dbus-send");
    EXPECT_EQ(call[6], "org.kde.PlasmaShell.evaluateScript");
    EXPECT_NE(call[7].find("d.writeConfig(\"Image\", \"file:///home/a%20b/Vextral.bmp\")"), std::string::npos);
    EXPECT_NE(call[7].find("d.writeConfig(\"FillMode\", 3)"), std::string::npos);
    EXPECT_NE(wallpaperSteps(DesktopKind::Kde, "/x.bmp", WallpaperMode::Center)[0].command[7].find("\"FillMode\", 6)"),
              std::string::npos);

    // Every backdrop Xfce lists gets the style and the picture; other properties are left alone.
    const std::string listing = "/backdrop/screen0/monitorHDMI-1/workspace0/color-style\n"
                                "/backdrop/screen0/monitorHDMI-1/workspace0/last-image\n"
                                "/backdrop/screen0/monitoreDP-1/workspace1/last-image\n"
                                "/desktop-icons/style\n";
    const auto xfce = xfceWallpaperSteps(listing, "/home/a b/Vextral.bmp", WallpaperMode::Stretch);
    ASSERT_EQ(xfce.size(), 4u);
    EXPECT_EQ(xfce[0].command, (Command {"xfconf-query", "--channel", "xfce4-desktop", "--property",
                                         "/backdrop/screen0/monitorHDMI-1/workspace0/image-style", "--create", "--type",
                                         "int", "--set", "3"}));
    EXPECT_EQ(xfce[3].command, (Command {"xfconf-query", "--channel", "xfce4-desktop", "--property",
                                         "/backdrop/screen0/monitoreDP-1/workspace1/last-image", "--create", "--type",
                                         "string", "--set", "/home/a b/Vextral.bmp"}));
    // None listed: the first monitor's backdrop is made.
    const auto fresh = xfceWallpaperSteps("", "/x.bmp", WallpaperMode::Center);
    ASSERT_EQ(fresh.size(), 2u);
    EXPECT_EQ(fresh[0].command[4], "/backdrop/screen0/monitor0/workspace0/image-style");
    EXPECT_EQ(fresh[0].command.back(), "1");
}

TEST(Wallpaper, AProgramThatCannotBeStartedIsAnErrorWithTheSystemsReason)
{
    TempDir empty;
    test::ScopedEnv path("PATH", empty.path().string());
    const std::string error =
        refusal([] { applyWallpaper(DesktopKind::Kde, "/tmp/Vextral.bmp", WallpaperMode::Tile); });
    EXPECT_EQ(error.rfind("Cannot set the wallpaper: dbus-send ", 0), 0u) << error;
    EXPECT_EQ(error.substr(error.size() - std::string(": No such file or directory").size()),
              ": No such file or directory")
        << error;
}
