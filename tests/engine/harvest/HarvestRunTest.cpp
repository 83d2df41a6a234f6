#include "harvest/HarvestRun.h"
#include "core/Error.h"
#include "core/Percent.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace vextral;
using vextral::test::fixture;

namespace {

struct Recorder : HarvestView {
    std::vector<std::string> status, found, scanned, extracted;
    std::vector<int> current, total;
    int listDepth = 0, foundDepth = 0, listBegins = 0, foundBegins = 0;
    bool startMenu = true, startButton = true, progressShown = false;

    void showProgressPage() override { progressShown = true; }
    void setStatus(const std::string& t) override { status.push_back(t); }
    void setFound(const std::string& t) override { found.push_back(t); }
    void setScanned(const std::string& t) override { scanned.push_back(t); }
    void setExtracted(const std::string& t) override { extracted.push_back(t); }
    void setGaugeCurrent(int p) override { current.push_back(p); }
    void setGaugeTotal(int p) override { total.push_back(p); }
    void setStartMenuEnabled(bool e) override { startMenu = e; }
    void setStartButtonEnabled(bool e) override { startButton = e; }
    void beginIconListUpdate() override { ++listDepth, ++listBegins; }
    void endIconListUpdate() override { --listDepth; }
    void beginFoundListUpdate() override { ++foundDepth, ++foundBegins; }
    void endFoundListUpdate() override { --foundDepth; }
};

struct Paths : SourceList {
    std::vector<std::string> paths;
    mutable std::vector<int> reads;
    int count() const override { return static_cast<int>(paths.size()); }
    std::string at(int i) const override
    {
        reads.push_back(i);
        return paths.at(static_cast<std::size_t>(i));
    }
};

struct Harness {
    IconCatalogue catalogue;
    Recorder view;
    Paths files, folders;
    std::function<void()> onPump;
    int foldersEntered = 0;

    struct Run : HarvestRun {
        Harness& h;
        explicit Run(Harness& harness)
            : HarvestRun(harness.catalogue, harness.view, harness.files, harness.folders,
                         [&harness] {
                             if (harness.onPump) harness.onPump();
                         }),
              h(harness)
        {}
        bool foldersPhase() override
        {
            ++h.foldersEntered;
            return true;
        }
    } run {*this};

    void expectBalanced()
    {
        EXPECT_EQ(view.listDepth, 0);
        EXPECT_EQ(view.foundDepth, 0);
        EXPECT_TRUE(view.startMenu);
        EXPECT_TRUE(view.startButton);
        EXPECT_FALSE(run.active());
        EXPECT_EQ(view.status.back(), "Finished");
    }
};

std::string path(const char* name) { return fixture(name).string(); }

} // namespace

TEST(Percent, RoundsHalvesToEven)
{
    EXPECT_EQ(percent(1, 8), 12);
    EXPECT_EQ(percent(3, 8), 38);
    EXPECT_EQ(percent(1, 3), 33);
    EXPECT_EQ(percent(2, 3), 67);
    EXPECT_EQ(percent(1, 200), 0); // 0.5 -> 0
    EXPECT_EQ(percent(3, 200), 2); // 1.5 -> 2
    EXPECT_EQ(percent(5, 5), 100);
    EXPECT_EQ(percent(1, 0), 0);
}

TEST(HarvestRun, FilesPhaseFillsTheCatalogueWithProgress)
{
    Harness h;
    h.files.paths = {path("library.icl")}; // three icons
    h.run.start(true, false);
    EXPECT_EQ(h.catalogue.itemCount(), 3);
    EXPECT_EQ(h.catalogue.imageCount(), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(h.catalogue.record(i).iconIndex, i);
        EXPECT_EQ(h.catalogue.record(i).sourceFile, path("library.icl"));
    }
    EXPECT_EQ(h.view.current, (std::vector<int> {0, 33, 67, 100, 0})); // start, per icon, normal end
    EXPECT_TRUE(h.view.progressShown);
    EXPECT_EQ(h.view.status, (std::vector<std::string> {"Cleaning extracted information...",
                                                        "Extracting icons from files...", "Finished"}));
    EXPECT_EQ(h.view.found, (std::vector<std::string> {"0 files", "1 files"}));
    EXPECT_EQ(h.run.runFlag(), "1");
    EXPECT_EQ(h.foldersEntered, 0);
    h.expectBalanced();

    // 2 and 3 icons, then a file without icons and one that does not exist.
    h.view = Recorder {};
    h.files.paths = {path("library.nil"), path("library.icl"), path("garbage.bin"), "/no/such/file.dll"};
    h.run.start(true, true);
    EXPECT_EQ(h.catalogue.itemCount(), 5);
    EXPECT_EQ(h.view.extracted.back(), "Extracted 5 icons");
    EXPECT_EQ(h.view.scanned.back(), "Scanned 4 files");
    EXPECT_EQ(h.view.total, (std::vector<int> {0, 25, 50, 75, 100, 100}));      // and at the end
    EXPECT_EQ(h.view.current, (std::vector<int> {0, 50, 100, 33, 67, 100, 0})); // files without icons move nothing
    EXPECT_EQ(h.catalogue.record(1).iconIndex, 1);
    EXPECT_EQ(h.catalogue.record(2).sourceFile, path("library.icl"));
    EXPECT_EQ(h.foldersEntered, 1);
    h.expectBalanced();
}

TEST(HarvestRun, TwoFilesOfTwoAndThreeIcons)
{
    Harness h;
    h.files.paths = {path("library.nil"), path("library.icl")};
    h.run.start(true, false);
    EXPECT_EQ(h.view.extracted.back(), "Extracted 5 icons");
    EXPECT_EQ(h.view.scanned, (std::vector<std::string> {"Scanned ", "Scanned 1 files", "Scanned 2 files"}));
    EXPECT_EQ(h.view.total, (std::vector<int> {0, 50, 100, 100}));
}

TEST(HarvestRun, StopThroughThePumpEndsTheFilesPhase)
{
    Harness h;
    h.files.paths = {path("library.nil"), path("library.icl"), path("icons64.dll")};
    int pumps = 0;
    h.onPump = [&] {
        if (++pumps == 2) h.run.stop();
    };
    h.run.start(true, true);
    // The icons of the files scanned so far stay; the folders phase is skipped.
    EXPECT_EQ(h.catalogue.itemCount(), 5);
    EXPECT_EQ(h.run.runFlag(), "2");
    EXPECT_EQ(h.foldersEntered, 0);
    EXPECT_EQ(h.view.current.back(), 100);               // set by Stop
    EXPECT_EQ(h.view.total.back(), 67);                  // r / F after the Stop
    EXPECT_EQ(h.view.scanned.back(), "Scanned 2 files"); // the stopped file was read whole
    h.expectBalanced();

    // Stop outside a run only sets the controls and the flag; the next Start resets it.
    h.run.stop();
    EXPECT_EQ(h.run.runFlag(), "2");
    h.onPump = nullptr;
    h.files.paths = {path("multi.ico")};
    h.run.start(true, false);
    EXPECT_EQ(h.run.runFlag(), "1");
    EXPECT_EQ(h.catalogue.itemCount(), 1);
}

TEST(HarvestRun, BothSwitchesOffClearsAndFinishes)
{
    Harness h;
    h.files.paths = {path("library.icl")};
    h.run.start(true, false);
    h.view = Recorder {};
    h.run.start(false, false);
    EXPECT_EQ(h.catalogue.itemCount(), 0);
    EXPECT_EQ(h.catalogue.imageCount(), 0);
    EXPECT_EQ(h.view.status, (std::vector<std::string> {"Cleaning extracted information...", "Finished"}));
    // A run with nothing to read is done all the same: the whole gauge is full.
    EXPECT_EQ(h.view.total, (std::vector<int> {0, 100}));
    // Records outlive the run that cleared the catalogue.
    EXPECT_EQ(h.catalogue.recordCount(), 3);
    EXPECT_EQ(h.catalogue.record(2).iconIndex, 2);
    h.expectBalanced();
}

TEST(HarvestRun, NeverNestsAndNeverReadsDeletedEntries)
{
    Harness h;
    h.files.paths = {path("library.nil"), path("library.icl"), path("multi.ico")};
    int pumps = 0;
    h.onPump = [&] {
        ++pumps;
        h.run.start(true, false);                 // a Start while running is ignored
        if (pumps == 1) h.files.paths.pop_back(); // the user deletes the last entry
    };
    h.run.start(true, false);
    EXPECT_EQ(pumps, 2);
    EXPECT_EQ(h.files.reads, (std::vector<int> {0, 1}));
    EXPECT_EQ(h.catalogue.itemCount(), 5);
    EXPECT_EQ(h.view.listBegins, 1);
    EXPECT_EQ(h.view.total, (std::vector<int> {0, 50, 100, 100}));
    h.expectBalanced();
}

TEST(HarvestRun, ARunEndedByAnExceptionLeavesTheNextOnePossible)
{
    Harness h;
    h.files.paths = {path("library.nil"), path("multi.ico")};
    h.onPump = [&] {
        h.onPump = nullptr;
        throw Error("the pump failed");
    };
    EXPECT_THROW(h.run.start(true, false), Error);
    EXPECT_EQ(h.view.listDepth, 0);
    EXPECT_EQ(h.view.foundDepth, 0);
    EXPECT_TRUE(h.view.startMenu);
    EXPECT_TRUE(h.view.startButton);
    EXPECT_FALSE(h.run.active());
    // The next Start runs as usual.
    h.run.start(true, false);
    EXPECT_EQ(h.catalogue.itemCount(), 3);
    h.expectBalanced();
}
