#include "desktop/Wallpaper.h"

#include "core/Error.h"
#include "core/Text.h"
#include "platform/RunProgram.h"

#include <chrono>
#include <cstdlib>
#include <optional>
#include <string_view>

namespace vextral::desktop {

namespace {

// Each program gets this long; a desktop that answers nothing in that time is reported.
constexpr std::chrono::seconds kStepTime {10};

DesktopKind kindOfName(const std::string& name)
{
    const std::string n = lowerAscii(name);
    if (n == "gnome" || n == "gnome-flashback" || n == "gnome-classic" || n == "ubuntu" || n == "unity" ||
        n == "budgie" || n == "budgie-desktop" || n == "pantheon" || n == "gnome-xorg" || n == "gnome-wayland")
        return DesktopKind::Gnome;
    if (n == "x-cinnamon" || n == "cinnamon") return DesktopKind::Cinnamon;
    if (n == "mate") return DesktopKind::Mate;
    if (n == "kde" || n == "plasma" || n == "plasmawayland" || n == "plasmax11") return DesktopKind::Kde;
    if (n == "xfce" || n == "xfce4" || n == "xubuntu") return DesktopKind::Xfce;
    return DesktopKind::None;
}

const char* gnomeOption(WallpaperMode mode)
{
    switch (mode) {
    case WallpaperMode::Center: return "centered";
    case WallpaperMode::Tile: return "wallpaper";
    case WallpaperMode::Stretch: return "stretched";
    }
    return "centered";
}

// Plasma's image wallpaper takes Qt Quick's fill modes: Stretch 0, Tile 3, Pad (centred) 6.
int plasmaFillMode(WallpaperMode mode)
{
    switch (mode) {
    case WallpaperMode::Center: return 6;
    case WallpaperMode::Tile: return 3;
    case WallpaperMode::Stretch: return 0;
    }
    return 6;
}

// Xfce's image-style: centred 1, tiled 2, stretched 3.
int xfceStyle(WallpaperMode mode)
{
    switch (mode) {
    case WallpaperMode::Center: return 1;
    case WallpaperMode::Tile: return 2;
    case WallpaperMode::Stretch: return 3;
    }
    return 1;
}

Command gsettingsSet(const char* schema, const char* key, const std::string& value)
{
    return {"gsettings", "set", schema, key, value};
}

std::string commandText(const Command& command)
{
    std::string text;
    for (const std::string& word : command) {
        if (!text.empty()) text += ' ';
        text += word.size() > 60 ? word.substr(0, 57) + "..." : word;
    }
    return text;
}

// The first line of what a failed program said, else its exit status.
std::string complaint(const platform::ProgramRun& run)
{
    if (run.timedOut) return "no answer within " + std::to_string(std::chrono::seconds(kStepTime).count()) + " seconds";
    std::string said = run.errors.empty() ? run.output : run.errors;
    said = said.substr(0, said.find('\n'));
    if (said.size() > 200) said = said.substr(0, 200) + "...";
    if (!said.empty()) return said;
    return run.exitStatus < 0 ? std::string("ended by a signal") : "exit status " + std::to_string(run.exitStatus);
}

[[noreturn]] void cannotSet(const Command& command, const std::string& why)
{
    throw Error("Cannot set the wallpaper: " + commandText(command) + ": " + why);
}

// Runs one command; the reason it failed, or nothing when it succeeded.
std::optional<std::string> failureOf(const Command& command, std::string* output = nullptr)
{
    try {
        platform::ProgramRun run = platform::runProgram(command, kStepTime);
        if (!run.succeeded()) return complaint(run);
        if (output) *output = std::move(run.output);
        return std::nullopt;
    } catch (const platform::ProgramError& e) {
        return e.reason();
    }
}

void runSteps(const std::vector<WallpaperStep>& steps)
{
    for (const WallpaperStep& step : steps) {
        const std::optional<std::string> failure = failureOf(step.command);
        if (failure && !step.optional) cannotSet(step.command, *failure);
    }
}

} // namespace

SessionFacts sessionFacts()
{
    SessionFacts facts;
    if (const char* v = std::getenv("XDG_CURRENT_DESKTOP")) facts.currentDesktop = v;
    if (const char* v = std::getenv("DESKTOP_SESSION")) facts.session = v;
    facts.hasProgram = [](const std::string& name) { return !platform::findProgram(name).empty(); };
    return facts;
}

DesktopKind desktopKind(const SessionFacts& facts)
{
    std::size_t start = 0;
    const std::string& names = facts.currentDesktop;
    while (start <= names.size()) {
        const std::size_t end = std::min(names.find(':', start), names.size());
        const DesktopKind kind = kindOfName(names.substr(start, end - start));
        if (kind != DesktopKind::None) return kind;
        start = end + 1;
    }
    // DESKTOP_SESSION may be a path to the session file.
    const std::size_t slash = facts.session.find_last_of('/');
    return kindOfName(slash == std::string::npos ? facts.session : facts.session.substr(slash + 1));
}

const char* desktopName(DesktopKind kind)
{
    switch (kind) {
    case DesktopKind::Gnome: return "GNOME";
    case DesktopKind::Cinnamon: return "Cinnamon";
    case DesktopKind::Mate: return "MATE";
    case DesktopKind::Kde: return "KDE Plasma";
    case DesktopKind::Xfce: return "Xfce";
    case DesktopKind::None: break;
    }
    return "";
}

const char* wallpaperProgram(DesktopKind kind)
{
    switch (kind) {
    case DesktopKind::Gnome:
    case DesktopKind::Cinnamon:
    case DesktopKind::Mate: return "gsettings";
    case DesktopKind::Kde: return "dbus-send";
    case DesktopKind::Xfce: return "xfconf-query";
    case DesktopKind::None: break;
    }
    return "";
}

DesktopKind wallpaperDesktop(const SessionFacts& facts)
{
    const DesktopKind kind = desktopKind(facts);
    if (kind == DesktopKind::None)
        throw Error("No supported desktop was found to set the wallpaper on (GNOME, Cinnamon, MATE, KDE Plasma "
                    "or Xfce).");
    if (!facts.hasProgram || !facts.hasProgram(wallpaperProgram(kind)))
        throw Error(std::string("The wallpaper of ") + desktopName(kind) + " is set with " + wallpaperProgram(kind) +
                    ", which was not found.");
    return kind;
}

std::vector<WallpaperStep> wallpaperSteps(DesktopKind kind, const std::string& file, WallpaperMode mode)
{
    const std::string uri = gvariantString(fileUri(file));
    switch (kind) {
    case DesktopKind::Gnome: {
        const char* schema = "org.gnome.desktop.background";
        return {{gsettingsSet(schema, "picture-options", gnomeOption(mode))},
                {gsettingsSet(schema, "picture-uri", uri)},
                {gsettingsSet(schema, "picture-uri-dark", uri), true}};
    }
    case DesktopKind::Cinnamon: {
        const char* schema = "org.cinnamon.desktop.background";
        return {{gsettingsSet(schema, "picture-options", gnomeOption(mode))},
                {gsettingsSet(schema, "picture-uri", uri)}};
    }
    case DesktopKind::Mate: {
        const char* schema = "org.mate.background";
        return {{gsettingsSet(schema, "picture-options", gnomeOption(mode))},
                {gsettingsSet(schema, "picture-filename", gvariantString(file))}};
    }
    case DesktopKind::Kde: {
        // The URI is escaped down to letters, digits and "-._~/%:", so it needs no quoting in the script.
        const std::string script = "var all = desktops();"
                                   "for (var i = 0; i < all.length; i++) {"
                                   " var d = all[i];"
                                   " d.wallpaperPlugin = \"org.kde.image\";"
                                   " d.currentConfigGroup = Array(\"Wallpaper\", \"org.kde.image\", \"General\");"
                                   " d.writeConfig(\"Image\", \"" +
                                   fileUri(file) + "\"); d.writeConfig(\"FillMode\", " +
                                   std::to_string(plasmaFillMode(mode)) + "); }";
        return {{{"dbus-send", "--session", "--print-reply", "--type=method_call", "--dest=org.kde.plasmashell",
                  "/PlasmaShell", "org.kde.PlasmaShell.evaluateScript", "string:" + script}}};
    }
    case DesktopKind::Xfce:
    case DesktopKind::None: break;
    }
    return {};
}

Command xfceListCommand() { return {"xfconf-query", "--channel", "xfce4-desktop", "--list"}; }

std::vector<WallpaperStep> xfceWallpaperSteps(const std::string& listing, const std::string& file, WallpaperMode mode)
{
    constexpr std::string_view kImage = "/last-image";
    std::vector<std::string> backdrops;
    std::size_t start = 0;
    while (start < listing.size()) {
        const std::size_t end = std::min(listing.find('\n', start), listing.size());
        std::string_view line(listing.data() + start, end - start);
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.remove_suffix(1);
        if (line.starts_with("/backdrop/") && line.ends_with(kImage))
            backdrops.emplace_back(line.substr(0, line.size() - kImage.size()));
        start = end + 1;
    }
    if (backdrops.empty()) backdrops.emplace_back("/backdrop/screen0/monitor0/workspace0");
    std::vector<WallpaperStep> steps;
    for (const std::string& backdrop : backdrops) {
        steps.push_back({{"xfconf-query", "--channel", "xfce4-desktop", "--property", backdrop + "/image-style",
                          "--create", "--type", "int", "--set", std::to_string(xfceStyle(mode))}});
        steps.push_back({{"xfconf-query", "--channel", "xfce4-desktop", "--property", backdrop + "/last-image",
                          "--create", "--type", "string", "--set", file}});
    }
    return steps;
}

void applyWallpaper(DesktopKind kind, const std::string& file, WallpaperMode mode)
{
    if (kind != DesktopKind::Xfce) {
        runSteps(wallpaperSteps(kind, file, mode));
        return;
    }
    const Command list = xfceListCommand();
    std::string listing;
    if (const std::optional<std::string> failure = failureOf(list, &listing)) cannotSet(list, *failure);
    runSteps(xfceWallpaperSteps(listing, file, mode));
}

std::string fileUri(const std::string& path)
{
    static const char* const kHex = "0123456789ABCDEF";
    std::string uri = "file://";
    for (const char c : path) {
        const auto b = static_cast<unsigned char>(c);
        if ((b >= 'a' && b <= 'z') || (b >= 'A' && b <= 'Z') || (b >= '0' && b <= '9') || b == '-' || b == '.' ||
            b == '_' || b == '~' || b == '/') {
            uri += c;
        } else {
            uri += '%';
            uri += kHex[b >> 4];
            uri += kHex[b & 15];
        }
    }
    return uri;
}

std::string gvariantString(const std::string& text)
{
    std::string out = "'";
    for (const char c : text) {
        if (c == '\'' || c == '\\') out += '\\';
        out += c;
    }
    return out + "'";
}

} // namespace vextral::desktop
