#include "harvest/DuplicateIcons.h"
#include "harvest/HarvestRun.h"

#include "export/SaveAll.h"
#include "export/WebPage.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

using namespace vextral;
using vextral::test::fixture;
using vextral::test::TempDir;

namespace {

struct Texts : HarvestView {
    std::vector<std::string> extracted;
    void setStatus(const std::string&) override {}
    void setFound(const std::string&) override {}
    void setScanned(const std::string&) override {}
    void setExtracted(const std::string& t) override { extracted.push_back(t); }
    void setGaugeCurrent(int) override {}
    void setGaugeTotal(int) override {}
};

struct Paths : SourceList {
    std::vector<std::string> paths;
    int count() const override { return static_cast<int>(paths.size()); }
    std::string at(int i) const override { return paths.at(static_cast<std::size_t>(i)); }
};

struct Harvest {
    IconCatalogue catalogue;
    Texts view;
    Paths files, folders;
    HarvestRun run {catalogue, view, files, folders, nullptr};

    void start(bool unique)
    {
        settings::Settings s;
        s.unique = unique;
        run.setSettings(s);
        view = Texts {};
        run.start(true, true);
    }
    std::vector<std::string> names() const
    {
        std::vector<std::string> out;
        for (int i = 0; i < catalogue.itemCount(); ++i) {
            const IconRecord& r = catalogue.record(i);
            out.push_back(std::filesystem::path(r.sourceFile).filename().string() + "#" + std::to_string(r.iconIndex));
        }
        return out;
    }
};

std::vector<std::string> filesIn(const std::filesystem::path& dir)
{
    std::vector<std::string> out;
    for (const auto& e : std::filesystem::directory_iterator(dir)) out.push_back(e.path().filename().string());
    std::sort(out.begin(), out.end());
    return out;
}

} // namespace

TEST(DuplicateIcons, ACopiedLibraryShowsItsIconsOnceAndCountsFollow)
{
    // The same DLL twice and an icon file of its own.
    TempDir dir;
    std::filesystem::copy_file(fixture("icons64.dll"), dir / "a.dll");
    std::filesystem::copy_file(fixture("icons64.dll"), dir / "b.dll");
    std::filesystem::copy_file(fixture("tie.ico"), dir / "c.ico");

    Harvest h;
    h.folders.paths = {dir.path().string()};

    // Switched off: every icon of both copies, as always.
    h.start(false);
    EXPECT_EQ(h.catalogue.itemCount(), 9);
    EXPECT_EQ(h.run.hiddenCount(), 0);
    EXPECT_EQ(h.view.extracted.back(), "Extracted 9 icons");

    h.start(true);
    const std::vector<std::string> kept = {"a.dll#0", "a.dll#1", "a.dll#2", "a.dll#3", "c.ico#0"};
    EXPECT_EQ(h.names(), kept);
    EXPECT_EQ(h.catalogue.imageCount(), 5);
    EXPECT_EQ(h.run.iconCount(), 5);
    EXPECT_EQ(h.run.hiddenCount(), 4);
    EXPECT_EQ(h.view.extracted.back(), "Extracted 5 icons (4 duplicates hidden)");
    // Before the second copy nothing was hidden, so the text said nothing of it.
    ASSERT_GE(h.view.extracted.size(), 6U);
    EXPECT_EQ(h.view.extracted[4], "Extracted 4 icons");
    EXPECT_EQ(h.view.extracted[5], "Extracted 4 icons (1 duplicate hidden)");

    // Save all numbers what is shown, without gaps.
    TempDir out;
    exporting::SaveAllJob job;
    job.naming.byFilename = false;
    EXPECT_EQ(exporting::saveAll(h.catalogue, out.path().string(), job), 5);
    EXPECT_EQ(filesIn(out.path()),
              (std::vector<std::string> {"Icon1.ico", "Icon2.ico", "Icon3.ico", "Icon4.ico", "Icon5.ico"}));
    // The last one is the icon file's own icon, byte for byte.
    EXPECT_EQ(test::readBytes(out / "Icon5.ico"), test::readBytes(fixture("tie.ico")));

    // The web page's range counts the shown icons: position 6 is past the end.
    exporting::WebPageJob web;
    web.allIcons = true;
    EXPECT_EQ(exporting::webPageRange(h.catalogue, web).count, 5);

    // The icon limit counts shown icons only.
    settings::Settings limited;
    limited.unique = true;
    limited.icon = false;
    limited.iconNumber = 5;
    h.run.setSettings(limited);
    h.run.start(true, true);
    EXPECT_EQ(h.names(), kept);
    EXPECT_EQ(h.run.limitReached(), HarvestRun::Limit::None);
}

TEST(DuplicateIcons, FilesPhaseHidesAFileListedTwiceAndOffChangesNothing)
{
    Harvest h;
    const std::string icl = fixture("library.icl").string();
    h.files.paths = {icl, fixture("single24.ico").string(), icl};
    h.start(true);
    EXPECT_EQ(h.names(),
              (std::vector<std::string> {"library.icl#0", "library.icl#1", "library.icl#2", "single24.ico#0"}));
    EXPECT_EQ(h.view.extracted.back(), "Extracted 4 icons (3 duplicates hidden)");

    h.start(false);
    EXPECT_EQ(h.catalogue.itemCount(), 7);
    EXPECT_EQ(h.view.extracted.back(), "Extracted 7 icons");
    EXPECT_EQ(h.names().back(), "library.icl#2");
}

TEST(DuplicateIcons, EqualHashesAreConfirmedByTheBytes)
{
    // An icon whose file changed after it was added is compared with what the
    // file holds now, so a match of the remembered hash alone hides nothing.
    TempDir dir;
    const std::string first = (dir / "first.ico").string();
    std::filesystem::copy_file(fixture("tie.ico"), first);
    IconCatalogue catalogue;
    DuplicateIcons seen(catalogue);

    const auto firstSource = platform::IconSource::open(first);
    ASSERT_FALSE(seen.seenBefore(firstSource, first, 0));
    seen.added(catalogue.add(*firstSource.icon(0), 0, first));

    const std::string copy = fixture("tie.ico").string();
    const auto copySource = platform::IconSource::open(copy);
    EXPECT_TRUE(seen.seenBefore(copySource, copy, 0));

    // The same size, one byte of the last row changed.
    std::vector<std::uint8_t> changed = test::readBytes(fixture("tie.ico"));
    changed[changed.size() - 5] ^= 0xFF;
    test::writeBytes(first, changed);
    DuplicateIcons fresh(catalogue);
    const auto before = platform::IconSource::fromBytes(test::readBytes(fixture("tie.ico")));
    ASSERT_FALSE(fresh.seenBefore(before, first, 0)); // what the file held when it was harvested
    fresh.added(0);
    EXPECT_FALSE(fresh.seenBefore(copySource, copy, 0));

    // An icon that cannot be read is never anyone's duplicate.
    const auto garbage = platform::IconSource::open(fixture("garbage.bin").string());
    EXPECT_FALSE(seen.seenBefore(garbage, fixture("garbage.bin").string(), 0));
    seen.added(1);
    EXPECT_FALSE(seen.seenBefore(garbage, fixture("garbage.bin").string(), 0));
}
