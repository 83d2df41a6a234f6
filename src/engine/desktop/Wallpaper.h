#pragma once

#include <functional>
#include <string>
#include <vector>

namespace vextral::desktop {

enum class WallpaperMode { Center, Tile, Stretch };

// The desktops whose wallpaper Vextral can set, each by its own means:
// GSettings for the GNOME family (GNOME, Cinnamon and MATE, each with its own
// schema), Plasma's scripting interface over D-Bus, and xfconf for Xfce.
enum class DesktopKind { None, Gnome, Cinnamon, Mate, Kde, Xfce };

// What tells which desktop the session runs.
struct SessionFacts {
    std::string currentDesktop; // $XDG_CURRENT_DESKTOP: names separated by ":", the most specific first
    std::string session;        // $DESKTOP_SESSION
    // Whether a program of that name is on PATH.
    std::function<bool(const std::string&)> hasProgram;
};

// The facts of the running session, from its environment and PATH.
SessionFacts sessionFacts();

// The desktop the facts name (the first name of XDG_CURRENT_DESKTOP that is
// known, else DESKTOP_SESSION), letter case ignored; None when there is none.
DesktopKind desktopKind(const SessionFacts& facts);
const char* desktopName(DesktopKind kind);
// The program that sets the wallpaper on that desktop.
const char* wallpaperProgram(DesktopKind kind);

// The desktop whose wallpaper can be set now. Throws vextral::Error when no
// supported desktop is found or its program is missing.
DesktopKind wallpaperDesktop(const SessionFacts& facts);

// One command: the program and its arguments, each one argument.
using Command = std::vector<std::string>;
struct WallpaperStep {
    Command command;
    // A step that older desktops lack the setting for (GNOME's dark-style
    // picture): its failure does not stop the others.
    bool optional = false;
};

// The commands that make file, in mode, the wallpaper of a GSettings or
// Plasma desktop. Xfce's depend on its monitors: see xfceWallpaperSteps.
std::vector<WallpaperStep> wallpaperSteps(DesktopKind kind, const std::string& file, WallpaperMode mode);

// Xfce: the command that lists the desktop's properties, and the steps that
// set every backdrop it lists (the first monitor's when it lists none).
Command xfceListCommand();
std::vector<WallpaperStep> xfceWallpaperSteps(const std::string& listing, const std::string& file, WallpaperMode mode);

// Runs the steps for kind, each with a time limit. Throws vextral::Error
// naming the command and its complaint when one fails.
void applyWallpaper(DesktopKind kind, const std::string& file, WallpaperMode mode);

// "file://" and the absolute path, every byte but letters, digits, "-._~/" escaped as %XX.
std::string fileUri(const std::string& path);
// The text as a GVariant string literal, as gsettings reads its values.
std::string gvariantString(const std::string& text);

} // namespace vextral::desktop
