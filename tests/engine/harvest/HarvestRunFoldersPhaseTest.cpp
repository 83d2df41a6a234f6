// The folders phase of a harvest run over real folders of fixture files.
#include "harvest/HarvestRun.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sys/stat.h>

using namespace vextral;
using vextral::test::fixture;
using vextral::test::TempDir;
namespace fs = std::filesystem;

namespace {

struct Recorder : HarvestView {
    std::vector<std::string> status, found, scanned, extracted;
    std::vector<int> current, total;
    int listDepth = 0, foundDepth = 0;
    void setStatus(const std::string& t) override { status.push_back(t); }
    void setFound(const std::string& t) override { found.push_back(t); }
    void setScanned(const std::string& t) override { scanned.push_back(t); }
    void setExtracted(const std::string& t) override { extracted.push_back(t); }
    void setGaugeCurrent(int p) override { current.push_back(p); }
    void setGaugeTotal(int p) override { total.push_back(p); }
    void beginIconListUpdate() override { ++listDepth; }
    void endIconListUpdate() override { --listDepth; }
    void beginFoundListUpdate() override { ++foundDepth; }
    void endFoundListUpdate() override { --foundDepth; }
};

struct Paths : SourceList {
    std::vector<std::string> paths;
    int count() const override { return static_cast<int>(paths.size()); }
    std::string at(int i) const override { return paths.at(static_cast<std::size_t>(i)); }
};

// Two folders of three icon files each (3 + 1 + 1 and 2 + 4 + 1 icons), plus a text file.
struct World {
    TempDir tree;
    std::string a = (tree / "a").string();
    std::string b = (tree / "b").string();
    IconCatalogue catalogue;
    Recorder view;
    Paths files, folders;
    std::function<void()> onPump;
    HarvestRun run {catalogue, view, files, folders, [this] {
                        if (onPump) onPump();
                    }};

    World()
    {
        fs::create_directories(a);
        fs::create_directories(b);
        fs::copy_file(fixture("library.icl"), tree / "a/1 library.icl");
        fs::copy_file(fixture("multi.ico"), tree / "a/2 multi.ico");
        fs::copy_file(fixture("tie.ico"), tree / "a/3 tie.ico");
        fs::copy_file(fixture("library.nil"), tree / "b/1 library.nil");
        fs::copy_file(fixture("icons64.dll"), tree / "b/2 icons64.dll");
        fs::copy_file(fixture("picture.bmp"), tree / "b/3 picture.bmp");
        std::ofstream(tree / "b/notes.txt") << "no icons";
        folders.paths = {a, b};
        run.setRecycleRule(platform::RecycleRule(platform::MountTable::fromText("/dev/sda1 / ext4 rw 0 0\n"), ""));
    }
    void expectEnded()
    {
        EXPECT_EQ(view.listDepth, 0);
        EXPECT_EQ(view.foundDepth, 0);
        EXPECT_EQ(view.status.back(), "Finished");
        EXPECT_FALSE(run.active());
    }
};

} // namespace

TEST(FoldersPhase, SearchesEachFolderThenExtractsWhatItFound)
{
    World w;
    w.files.paths = {fixture("arrow.cur").string()};
    // A file of the right type that holds no icon.
    fs::copy_file(fixture("garbage.bin"), w.tree / "b/4 empty.dll");
    w.run.start(true, true);
    EXPECT_EQ(w.run.filesFound(), 7);
    ASSERT_EQ(w.run.foundFiles().size(), 7u);
    EXPECT_EQ(w.run.foundFiles()[0], w.a + "/1 library.icl");
    EXPECT_EQ(w.run.foundFiles()[5], w.b + "/3 picture.bmp");
    // "Found" counts every file the run has to read, the file list's first,
    // as each folder is listed.
    EXPECT_EQ(w.view.found, (std::vector<std::string> {"0 files", "1 files", "4 files", "8 files"}));
    EXPECT_EQ(w.catalogue.itemCount(), 1 + 3 + 1 + 1 + 2 + 4 + 1);
    EXPECT_EQ(w.catalogue.record(1).sourceFile, w.a + "/1 library.icl");
    EXPECT_EQ(w.catalogue.record(12).iconIndex, 0);
    // "Scanned" counts every file read, with or without icons.
    EXPECT_EQ(w.view.scanned.back(), "Scanned 8 files");
    EXPECT_EQ(w.view.extracted.back(), "Extracted 13 icons");
    EXPECT_EQ(w.view.total.back(), 100);
    EXPECT_EQ(w.view.current.back(), 0);
    const std::vector<std::string> statuses = {"Cleaning extracted information...", "Extracting icons from files...",
                                               "Searching for files...", "Searching for files..."};
    EXPECT_TRUE(std::equal(statuses.begin(), statuses.end(), w.view.status.begin()));
    w.expectEnded();
}

namespace {

// One limit of the Files page and what a run under it extracts.
struct Limit {
    const char* name;
    bool files;            // the file limit (else the icon limit)
    int number;            // its value
    bool withFiles;        // a files phase with icons32.dll (4 icons) runs first
    int icons;             // the icons extracted
    bool ended;            // the run ends with both gauges at 100
    const char* extracted; // the last "Extracted" text; nullptr: not checked
};

void PrintTo(const Limit& limit, std::ostream* out) { *out << limit.name; }

class FoldersPhaseLimit : public ::testing::TestWithParam<Limit> {};

} // namespace

TEST_P(FoldersPhaseLimit, StopsTheRunWhereItSays)
{
    const Limit& limit = GetParam();
    World w;
    settings::Settings s;
    if (limit.files) {
        s.file = false;
        s.fileNumber = limit.number;
    } else {
        s.icon = false;
        s.iconNumber = limit.number;
    }
    w.run.setSettings(s);
    if (limit.withFiles) w.files.paths = {fixture("icons32.dll").string()}; // unlimited in the files phase
    w.run.start(limit.withFiles, true);
    EXPECT_EQ(w.catalogue.itemCount(), limit.icons);
    if (!limit.ended) return;
    EXPECT_EQ(w.view.current.back(), 100);
    EXPECT_EQ(w.view.total.back(), 100);
    w.expectEnded();
    if (!limit.extracted) return;
    ASSERT_FALSE(w.view.extracted.empty());
    EXPECT_EQ(w.view.extracted.back(), limit.extracted);
}

INSTANTIATE_TEST_SUITE_P(Files, FoldersPhaseLimit,
                         ::testing::Values(Limit {"OneFileExtractsNothing", true, 1, false, 0, true, nullptr},
                                           Limit {"ThreeFilesExtractTheFirstTwo", true, 3, false, 4, false, nullptr},
                                           Limit {"TenIconsLeaveExactlyTen", false, 10, false, 10, true,
                                                  "Extracted 10 icons"},
                                           Limit {"IconsOfTheFilesPhaseCountToo", false, 5, true, 5, false, nullptr}),
                         [](const ::testing::TestParamInfo<Limit>& tested) { return std::string(tested.param.name); });

TEST(FoldersPhase, FileTypes)
{
    {
        // Every type off: nothing is found and the run ends normally; with .bmp
        // and .nil alone only those are found.
        World w;
        settings::Settings s;
        s.fileTypes = FileTypeSet::none();
        w.run.setSettings(s);
        w.run.start(false, true);
        EXPECT_TRUE(w.run.foundFiles().empty());
        EXPECT_EQ(w.catalogue.itemCount(), 0);
        w.expectEnded();
        s.fileTypes.set(FileType::Bmp, true);
        s.fileTypes.set(FileType::Nil, true);
        w.run.setSettings(s);
        w.run.start(false, true);
        EXPECT_EQ(w.run.foundFiles(), (std::vector<std::string> {w.b + "/1 library.nil", w.b + "/3 picture.bmp"}));
        // Without subfolders, a folder's subfolders are not searched.
        s.subFolder = false;
        w.run.setSettings(s);
        w.folders.paths = {w.tree.path().string()};
        w.run.start(false, true);
        EXPECT_TRUE(w.run.foundFiles().empty());
    }
}

TEST(FoldersPhase, RecycleBinsAreSkippedUnlessAsked)
{
    World w;
    const std::string root = w.tree.path().string();
    fs::create_directories(w.tree / "RECYCLED");
    fs::create_directories(w.tree / "data/RECYCLED");
    fs::create_directories(w.tree / ".Trash-0/files");
    fs::create_directories(w.tree / "home/Trash/files");
    fs::copy_file(fixture("tie.ico"), w.tree / "RECYCLED/x.ico");
    fs::copy_file(fixture("tie.ico"), w.tree / "data/RECYCLED/x.ico");
    fs::copy_file(fixture("tie.ico"), w.tree / ".Trash-0/files/y.ico");
    fs::copy_file(fixture("tie.ico"), w.tree / "home/Trash/files/z.ico");
    w.folders.paths = {root};
    // The temporary tree stands for a mounted disk.
    w.run.setRecycleRule(platform::RecycleRule(
        platform::MountTable::fromText("/dev/sda1 / ext4 rw 0 0\n/dev/sdb1 " + root + " ext4 rw 0 0\n"),
        root + "/home/Trash"));
    settings::Settings s;
    s.fileTypes = FileTypeSet::none();
    s.fileTypes.set(FileType::Ico, true);
    w.run.setSettings(s);
    w.run.start(false, true);
    EXPECT_EQ(w.run.foundFiles(),
              (std::vector<std::string> {w.a + "/2 multi.ico", w.a + "/3 tie.ico", root + "/data/RECYCLED/x.ico"}));
    EXPECT_EQ(w.run.filesFound(), 6); // skipped files still count as found
    s.recycle = true;
    w.run.setSettings(s);
    w.run.start(false, true);
    EXPECT_EQ(w.run.foundFiles().size(), 6u);
}

TEST(FoldersPhase, StopEndsAfterTheIconBeingAdded)
{
    World w;
    int pumps = 0;
    bool extracting = false;
    w.onPump = [&] {
        extracting = w.view.status.back() == "Extracting icons from folders...";
        if (extracting && ++pumps == 2) w.run.stop();
    };
    w.run.start(false, true);
    EXPECT_EQ(w.catalogue.itemCount(), 2);
    EXPECT_EQ(w.view.current.back(), 100);
    EXPECT_EQ(w.view.total.back(), 100);
    EXPECT_EQ(w.run.runFlag(), "2");
    w.expectEnded();

    // A Stop during the search ends it; the other folders are not searched,
    // and the extraction ends at the first icon it adds.
    World s;
    int entries = 0;
    s.onPump = [&] {
        if (s.view.status.back() == "Searching for files..." && ++entries == 2) s.run.stop();
    };
    s.run.start(false, true);
    EXPECT_EQ(s.run.foundFiles(), (std::vector<std::string> {s.a + "/1 library.icl", s.a + "/2 multi.ico"}));
    EXPECT_EQ(s.catalogue.itemCount(), 1);
    s.expectEnded();
}

TEST(FoldersPhase, ReportsWhatItCouldNotReadAndGoesOn)
{
    World w;
    const std::string missingFile = (w.tree / "gone.dll").string();
    const std::string missingFolder = (w.tree / "no folder").string();
    w.files.paths = {missingFile, fixture("tie.ico").string()};
    w.folders.paths = {missingFolder, w.a, w.b};
    // A found name that leads nowhere cannot be opened; a folder and a FIFO
    // whose names match are no files to miss.
    fs::create_symlink(w.tree / "nothing", w.tree / "a/4 broken.ico");
    fs::create_directory(w.tree / "b/4 folder.dll");
    ASSERT_EQ(::mkfifo((w.tree / "b/5 pipe.ico").c_str(), 0600), 0);
    std::vector<HarvestProblem> told;
    w.run.onProblem = [&](const HarvestProblem& p) { told.push_back(p); };
    w.run.start(true, true);
    w.expectEnded();
    EXPECT_EQ(w.catalogue.itemCount(), 1 + 5 + 7);
    ASSERT_EQ(w.run.problems().size(), 3u);
    ASSERT_EQ(told.size(), 3u);
    const auto expect = [&](std::size_t i, HarvestProblem::Kind kind, const std::string& path, const char* reason) {
        for (const HarvestProblem* p : {&w.run.problems()[i], static_cast<const HarvestProblem*>(&told[i])}) {
            EXPECT_EQ(p->kind, kind) << i;
            EXPECT_EQ(p->path, path) << i;
            EXPECT_EQ(p->reason, reason) << i;
        }
    };
    expect(0, HarvestProblem::Kind::File, missingFile, "No such file or directory");
    expect(1, HarvestProblem::Kind::Folder, missingFolder, "No such file or directory");
    expect(2, HarvestProblem::Kind::File, w.a + "/4 broken.ico", "No such file or directory");
    // The next run starts with none.
    w.files.paths.clear();
    w.folders.paths = {w.b};
    w.run.start(true, true);
    EXPECT_TRUE(w.run.problems().empty());
}

TEST(FoldersPhase, TellsWhichLimitEndedTheRun)
{
    World w;
    settings::Settings s;
    w.run.start(false, true);
    EXPECT_EQ(w.run.limitReached(), HarvestRun::Limit::None);
    // File Number 7 allows all six found files: nothing is left out.
    s.file = false;
    s.fileNumber = 7;
    w.run.setSettings(s);
    w.run.start(false, true);
    EXPECT_EQ(w.run.limitReached(), HarvestRun::Limit::None);
    EXPECT_EQ(w.catalogue.itemCount(), 12);
    s.fileNumber = 6;
    w.run.setSettings(s);
    w.run.start(false, true);
    EXPECT_EQ(w.run.limitReached(), HarvestRun::Limit::Files);
    EXPECT_EQ(w.catalogue.itemCount(), 11);
    // An icon limit that equals the icons there are leaves nothing out.
    s.file = true;
    s.icon = false;
    s.iconNumber = 12;
    w.run.setSettings(s);
    w.run.start(false, true);
    EXPECT_EQ(w.run.limitReached(), HarvestRun::Limit::None);
    s.iconNumber = 11;
    w.run.setSettings(s);
    w.run.start(false, true);
    EXPECT_EQ(w.run.limitReached(), HarvestRun::Limit::Icons);
    EXPECT_EQ(w.catalogue.itemCount(), 11);
}
