#pragma once

#include "settings/ProfileFile.h"

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace vextral::settings {

// The section of Option.ini that holds what the desktop program remembers of
// its window between sessions. No other program reads or writes it.
constexpr const char* kWindowSection = "Window";

// The file and folder choosers of the desktop program, each of which opens
// in the folder it used last.
enum class Chooser {
    AddFolder,   // the folder list's Add button
    AddFile,     // the file list's Add button
    SavePicture, // the save dialog of Save, the editor, the converter and the capture
    SaveAll,     // Save all's folder tree
    WebPage,     // the web page's output folder
    PrintPdf,    // the PDF file printed into where there is no printer
    Convert,     // the converter's Load
    Attach,      // the mail's attachments
    Editor,      // the options' icon editor
};
inline constexpr std::size_t kChooserCount = 9;
// The Option.ini key of a chooser's folder: "Last Add Folder", ...
const char* chooserKey(Chooser chooser);

enum class ViewLayout { LargeIcon, List, Details };

// A rectangle in screen coordinates (device-independent pixels).
struct ScreenRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    friend bool operator==(const ScreenRect&, const ScreenRect&) = default;
};

// The sources most recently added by the user, most recent first, each path
// once, at most kMaxRecent of them.
class RecentSources {
public:
    static constexpr std::size_t kMaxRecent = 10;

    RecentSources() = default;
    // The first kMaxRecent distinct non-empty paths of paths, in their order.
    explicit RecentSources(const std::vector<std::string>& paths);

    // Puts path first (moving it there when it is listed already); the oldest
    // entry goes when the list is full. An empty path is not listed.
    void add(const std::string& path);
    void clear() { paths_.clear(); }
    const std::vector<std::string>& paths() const { return paths_; }

private:
    std::vector<std::string> paths_;
};

// What the desktop program remembers between sessions. A value read from the
// file that does not make sense (not a number, a negative or huge size, a
// layout of no known name) is left out, as though it was never stored; the
// lists read at most kMaxListEntries entries.
struct WindowState {
    static constexpr std::size_t kMaxListEntries = 10000;
    // Bounds of the sizes and positions read; beyond them a value is garbage.
    static constexpr int kMaxSide = 100000;
    static constexpr int kMaxPosition = 1000000;
    static constexpr int kMaxSplitterPanes = 16;
    static constexpr int kMinZoom = 1;
    static constexpr int kMaxZoom = 4096;

    // The window's normal (not maximized) place: its frame's top left corner
    // and the size inside the frame, as Qt's pos() and size() give them.
    std::optional<ScreenRect> geometry;
    bool maximized = false;
    // The widths of the splitter's panes, left to right; empty when none stored.
    std::vector<int> splitterSizes;
    std::vector<std::string> folders;
    std::vector<std::string> files;
    std::optional<ViewLayout> layout;
    // The side the icon list draws its icons at.
    std::optional<int> zoom;
    // The folder each chooser used last, by Chooser; empty when never used.
    std::array<std::string, kChooserCount> chooserFolders;
    RecentSources recent;

    std::string& chooserFolder(Chooser c) { return chooserFolders[static_cast<std::size_t>(c)]; }
    const std::string& chooserFolder(Chooser c) const { return chooserFolders[static_cast<std::size_t>(c)]; }

    static WindowState load(const ProfileFile::Snapshot& ini);
    static WindowState load(const ProfileFile& file) { return load(file.read()); }
    // Replaces the whole Window section by this state (so no entry of a
    // longer list stays behind); other sections are left as they are. A
    // path whose stored form would pass ProfileFile::kMaxValue is not kept.
    void save(ProfileFile::Batch& batch) const;
    // The same, committed at once; raises the ProfileFile's Error.
    void save(const ProfileFile& file) const;
};

// A path as one Option.ini value, and back: '%', control characters, DEL and
// blanks at either end (which the reader would drop) become %XX; every other
// byte, '=', ';', '[' and non-ASCII ones included, stays as it is. A '%' not
// followed by two hexadecimal digits reads as itself.
std::string encodeEntry(const std::string& path);
std::string decodeEntry(const std::string& value);

// Where the window goes on screens whose available areas (without panels)
// are given, the primary first. Nothing stored: 70% of the primary's width
// and height, but no less than the 615 x 436 the layout was made for (unless
// the screen is smaller), centred on it. Otherwise the stored geometry on the
// screen it overlaps most (the primary when it overlaps none), made no larger
// than that screen and moved into it. No screen: the stored geometry, or
// 615 x 436.
ScreenRect placeWindow(const std::optional<ScreenRect>& stored, const std::vector<ScreenRect>& screens);

} // namespace vextral::settings
