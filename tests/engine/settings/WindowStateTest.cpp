// What the desktop program remembers of its window, kept in Option.ini's
// Window section beside the sections other programs read.
#include "settings/WindowState.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>

using namespace vextral::settings;
using vextral::test::TempDir;

namespace {

std::string slurp(const std::filesystem::path& p)
{
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void spit(const std::filesystem::path& p, const std::string& text)
{
    std::ofstream out(p, std::ios::binary);
    out << text;
}

// Paths as a Linux file system allows them: any byte but NUL and '/'.
const std::vector<std::string> kAwkwardPaths = {
    "/plain/folder",
    "/with=equals/and;semicolon",
    "/100%/%41 literal percent",
    " /leading and trailing blanks ",
    "\t/tabs\t",
    "/line\nbreak/and\rreturn",
    "/[Icon]/looks like a section",
    "/Bücher/ファイル/ünïcödé.dll",
    "/invalid\xff\xfe/utf-8",
    "/ends with a percent %",
    "/key=value=more",
};

WindowState fullState()
{
    WindowState s;
    s.geometry = ScreenRect {-20, 35, 1024, 700};
    s.maximized = true;
    s.splitterSizes = {210, 809};
    s.folders = kAwkwardPaths;
    s.files = {"/opt/app/app.exe", "/usr/lib/x=1;y=2.dll", " blank.ico"};
    s.layout = ViewLayout::Details;
    s.zoom = 48;
    for (std::size_t c = 0; c < kChooserCount; ++c) s.chooserFolders[c] = "/chosen/" + std::to_string(c) + " % = ;";
    s.recent = RecentSources({"/r/one", "/r/two=2", "/r/ü"});
    return s;
}

void expectSame(const WindowState& a, const WindowState& b)
{
    EXPECT_EQ(a.geometry, b.geometry);
    EXPECT_EQ(a.maximized, b.maximized);
    EXPECT_EQ(a.splitterSizes, b.splitterSizes);
    EXPECT_EQ(a.folders, b.folders);
    EXPECT_EQ(a.files, b.files);
    EXPECT_EQ(a.layout, b.layout);
    EXPECT_EQ(a.zoom, b.zoom);
    EXPECT_EQ(a.chooserFolders, b.chooserFolders);
    EXPECT_EQ(a.recent.paths(), b.recent.paths());
}

} // namespace

TEST(WindowState, RoundTripsEveryValueAndLeavesTheOtherSectionsAlone)
{
    TempDir dir;
    const auto path = dir / "Option.ini";
    const std::string others = "[Icon]\r\nBackground=clRed\r\nJpeg=70\r\n\r\n[File]\r\nExe File=0\r\n"
                               "[Internet]\r\nProxyIp= spaced \r\n";
    spit(path, others);
    const ProfileFile file(path.string());

    const WindowState saved = fullState();
    saved.save(file);
    expectSame(WindowState::load(file), saved);
    // The file keeps its own line ends, and every line of the other sections as it was.
    const std::string text = slurp(path);
    EXPECT_TRUE(text.starts_with(others)) << text;
    EXPECT_EQ(text.find("\n\n"), std::string::npos);

    // Saved again over itself, with shorter lists and some values gone: no
    // entry of the longer lists stays behind, and the others are still there.
    WindowState smaller;
    smaller.folders = {"/only"};
    smaller.recent.add("/r/new");
    smaller.save(file);
    expectSame(WindowState::load(file), smaller);
    EXPECT_EQ(slurp(path).find("Folder2"), std::string::npos);
    EXPECT_TRUE(slurp(path).starts_with(others));

    // An empty state over an empty file: nothing stored reads as nothing.
    TempDir empty;
    const ProfileFile fresh((empty / "Option.ini").string());
    const WindowState none = WindowState::load(fresh);
    EXPECT_FALSE(none.geometry);
    EXPECT_TRUE(none.folders.empty() && none.files.empty() && none.recent.paths().empty());
    EXPECT_FALSE(none.layout || none.zoom);
}

TEST(WindowState, EntriesAreStoredOnOneLineEachAndReadBackByteForByte)
{
    for (const std::string& path : kAwkwardPaths) {
        const std::string stored = encodeEntry(path);
        EXPECT_EQ(stored.find_first_of("\r\n"), std::string::npos) << stored;
        EXPECT_NE(stored.front(), ' ');
        EXPECT_NE(stored.back(), ' ');
        EXPECT_EQ(decodeEntry(stored), path) << stored;
    }
    // Readable as it is where nothing needs encoding; hand-edited values read as written.
    EXPECT_EQ(encodeEntry("/usr/share/icons/a=b;c"), "/usr/share/icons/a=b;c");
    EXPECT_EQ(decodeEntry("/a%2"), "/a%2");
    EXPECT_EQ(decodeEntry("/a%zz%"), "/a%zz%");
    EXPECT_EQ(decodeEntry("%2f%2F"), "//");

    // A path whose stored form would be cut by the reader is not stored; the
    // entries after it are numbered on.
    TempDir dir;
    const ProfileFile file((dir / "Option.ini").string());
    WindowState s;
    s.files = {"/a", "/" + std::string(ProfileFile::kMaxValue, 'x'), "/" + std::string(700, '%'), "/b"};
    s.save(file);
    EXPECT_EQ(WindowState::load(file).files, (std::vector<std::string> {"/a", "/b"}));
}

TEST(WindowState, BadStoredValuesAreLeftOut)
{
    TempDir dir;
    const auto path = dir / "Option.ini";
    const ProfileFile file(path.string());
    const auto load = [&](const std::string& section) {
        spit(path, "[Window]\n" + section);
        return WindowState::load(file);
    };

    // Sizes and positions: each must be a number within bounds, all four present.
    for (const char* geometry :
         {"Left=10\nTop=10\nWidth=-5\nHeight=300\n", "Left=10\nTop=10\nWidth=0\nHeight=300\n",
          "Left=10\nTop=10\nWidth=abc\nHeight=300\n", "Left=10\nTop=10\nWidth=400\n",
          "Left=99999999\nTop=10\nWidth=400\nHeight=300\n", "Left=10\nTop=10\nWidth=400\nHeight=4294967296\n",
          "Left=10\nTop=10\nWidth=400\nHeight=100001\n"})
        EXPECT_FALSE(load(geometry).geometry) << geometry;
    EXPECT_EQ(load("left=-10\nTOP=$10\nWidth=400\nHeight=300\nWidth=5\n").geometry, (ScreenRect {-10, 16, 400, 300}));
    EXPECT_FALSE(load("Maximized=7\n").maximized);
    EXPECT_TRUE(load("Maximized=1\n").maximized);

    for (const char* splitter : {"Splitter=100,-3\n", "Splitter=100,,200\n", "Splitter=abc\n", "Splitter=\n",
                                 "Splitter=1,200000\n", "Splitter=1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17\n"})
        EXPECT_TRUE(load(splitter).splitterSizes.empty()) << splitter;
    EXPECT_EQ(load("Splitter= 187 , 423 \n").splitterSizes, (std::vector<int> {187, 423}));

    EXPECT_FALSE(load("Layout=Huge\n").layout);
    EXPECT_EQ(load("Layout=list\n").layout, ViewLayout::List);
    for (const char* zoom : {"Zoom=0\n", "Zoom=-32\n", "Zoom=99999\n", "Zoom=32px\n"})
        EXPECT_FALSE(load(zoom).zoom) << zoom;
    EXPECT_EQ(load("Zoom=0x30\n").zoom, 48);

    // Counts that do not match the entries: the missing ones are skipped; a
    // count that is no count reads no list, one past the cap reads up to it.
    EXPECT_EQ(load("Folders=4\nFolder1=/a\nFolder3=/c\nFolder4=\nFolder5=/e\n").folders,
              (std::vector<std::string> {"/a", "/c"}));
    for (const char* count : {"Folders=-1\n", "Folders=4294967296\n", "Folders=x\n"})
        EXPECT_TRUE(load(std::string(count) + "Folder1=/a\n").folders.empty()) << count;
    EXPECT_EQ(load("Folders=2000000000\nFolder1=/a\n").folders, std::vector<std::string> {"/a"});

    // Recent: distinct entries only, ten at the most.
    std::string recent = "Recent=15\n";
    for (int i = 1; i <= 15; ++i) recent += "Recent" + std::to_string(i) + "=/r/" + std::to_string(i % 12) + "\n";
    const WindowState r = load(recent);
    ASSERT_EQ(r.recent.paths().size(), RecentSources::kMaxRecent);
    EXPECT_EQ(r.recent.paths().front(), "/r/1");
    EXPECT_EQ(r.recent.paths().back(), "/r/10");

    // Another section's keys of the same names are not the window's.
    EXPECT_FALSE(load("[Icon]\nLeft=1\nTop=1\nWidth=100\nHeight=100\n").geometry);
}

TEST(WindowState, ALongListReadsNoMoreThanTheCap)
{
    TempDir dir;
    const auto path = dir / "Option.ini";
    std::string text = "[Window]\nFiles=12000\n";
    for (int i = 1; i <= 12000; ++i) text += "File" + std::to_string(i) + "=/f/" + std::to_string(i) + "\n";
    spit(path, text);
    const WindowState s = WindowState::load(ProfileFile(path.string()));
    EXPECT_TRUE(s.folders.empty());
    EXPECT_EQ(s.files.size(), WindowState::kMaxListEntries);
    EXPECT_EQ(s.files.back(), "/f/10000");

    // Saved, a list longer than the cap keeps its first entries.
    WindowState many;
    for (int i = 0; i < 10005; ++i) many.folders.push_back("/d/" + std::to_string(i));
    const ProfileFile out((dir / "Out.ini").string());
    many.save(out);
    const WindowState back = WindowState::load(out);
    ASSERT_EQ(back.folders.size(), WindowState::kMaxListEntries);
    EXPECT_EQ(back.folders.back(), "/d/9999");
}

TEST(WindowState, RecentSourcesKeepTheTenLatestOnce)
{
    RecentSources r;
    r.add("/a");
    r.add("/b");
    r.add("");
    r.add("/a");
    EXPECT_EQ(r.paths(), (std::vector<std::string> {"/a", "/b"}));
    for (int i = 0; i < 12; ++i) r.add("/n" + std::to_string(i));
    ASSERT_EQ(r.paths().size(), RecentSources::kMaxRecent);
    EXPECT_EQ(r.paths().front(), "/n11");
    EXPECT_EQ(r.paths().back(), "/n2"); // "/a" and "/b" fell off the end
    r.add("/n5");
    EXPECT_EQ(r.paths().front(), "/n5");
    EXPECT_EQ(std::count(r.paths().begin(), r.paths().end(), "/n5"), 1);
    r.clear();
    EXPECT_TRUE(r.paths().empty());
}

TEST(WindowState, TheWindowIsPlacedOnAScreen)
{
    const ScreenRect primary {0, 0, 1280, 870}; // a panel takes 30 pixels
    const ScreenRect second {1280, 0, 1920, 1080};
    const std::vector<ScreenRect> screens {primary, second};

    // Nothing stored: 70% of the primary, centred.
    EXPECT_EQ(placeWindow(std::nullopt, screens), (ScreenRect {192, 130, 896, 609}));
    // ... but never smaller than the layout was made for, unless the screen is.
    EXPECT_EQ(placeWindow(std::nullopt, {ScreenRect {0, 0, 800, 600}}), (ScreenRect {92, 82, 615, 436}));
    EXPECT_EQ(placeWindow(std::nullopt, {ScreenRect {0, 20, 500, 400}}), (ScreenRect {0, 20, 500, 400}));
    // Within a screen: as stored, on either screen.
    EXPECT_EQ(placeWindow(ScreenRect {100, 50, 700, 500}, screens), (ScreenRect {100, 50, 700, 500}));
    EXPECT_EQ(placeWindow(ScreenRect {2000, 100, 800, 600}, screens), (ScreenRect {2000, 100, 800, 600}));
    // Partly off: moved into the screen it overlaps most.
    EXPECT_EQ(placeWindow(ScreenRect {2900, 700, 600, 500}, screens), (ScreenRect {2600, 580, 600, 500}));
    EXPECT_EQ(placeWindow(ScreenRect {-300, -40, 700, 500}, screens), (ScreenRect {0, 0, 700, 500}));
    // Off every screen: onto the primary.
    EXPECT_EQ(placeWindow(ScreenRect {-5000, 9000, 700, 500}, screens), (ScreenRect {0, 370, 700, 500}));
    // Larger than its screen: as large as the screen.
    EXPECT_EQ(placeWindow(ScreenRect {10, 10, 5000, 4000}, {primary}), primary);
    // A screen of no size counts as none; with none the stored geometry stays.
    EXPECT_EQ(placeWindow(ScreenRect {10, 10, 50, 40}, {ScreenRect {0, 0, 0, 0}}), (ScreenRect {10, 10, 50, 40}));
    EXPECT_EQ(placeWindow(std::nullopt, {}), (ScreenRect {0, 0, 615, 436}));
}
