// Harvested cursors saved as what their program holds, and Save all's type
// that writes each image of each icon.

#include "export/EachImage.h"
#include "export/IconFile.h"
#include "export/SaveAll.h"
#include "harvest/IconCatalogue.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <set>

using namespace vextral;
using namespace vextral::exporting;
using vextral::test::fixture;
using vextral::test::readBytes;
using vextral::test::TempDir;
namespace fs = std::filesystem;

namespace {

// Every icon (and, when asked, cursor) of a file, as a harvest records them.
IconCatalogue harvested(const fs::path& file, bool cursors)
{
    IconCatalogue catalogue;
    const platform::IconSource source = platform::IconSource::open(file.string(), {}, {.cursors = cursors});
    for (int i = 0; i < source.count(); ++i) {
        if (const auto icon = source.icon(i))
            catalogue.add(*icon, i, file.string(), imageSummaries(source, i), source.isCursor(i));
    }
    return catalogue;
}

std::set<std::string> filesIn(const fs::path& dir)
{
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir)) names.insert(entry.path().filename().string());
    return names;
}

} // namespace

TEST(HarvestedCursors, SaveAsTheCursorFilesTheirProgramHolds)
{
    TempDir out;
    const fs::path dll = fixture("cursors32.dll");
    const IconCatalogue catalogue = harvested(dll, true);
    const platform::IconSource source = platform::IconSource::open(dll.string(), {}, {.cursors = true});
    int cursors = 0;
    for (int i = 0; i < catalogue.itemCount(); ++i) cursors += catalogue.record(i).cursor ? 1 : 0;
    ASSERT_GT(cursors, 0);

    // Save all's standard icon: an icon as an .ico, a cursor as a .cur, byte for byte.
    SaveAllJob job;
    ASSERT_EQ(saveAll(catalogue, out.path().string(), job), catalogue.itemCount());
    for (int i = 0; i < catalogue.itemCount(); ++i) {
        const IconRecord& record = catalogue.record(i);
        const fs::path file =
            out / ("cursors32.dll_" + std::to_string(record.iconIndex) + (record.cursor ? ".cur" : ".ico"));
        ASSERT_TRUE(fs::exists(file)) << file;
        if (record.cursor) {
            EXPECT_EQ(readBytes(file), source.originalIco(record.iconIndex)) << file;
        }
    }

    // Saving one under a .cur name keeps it a cursor; under .ico it becomes an icon.
    const int first = [&] {
        for (int i = 0; i < catalogue.itemCount(); ++i) {
            if (catalogue.record(i).cursor) return i;
        }
        return -1;
    }();
    codecs::ImageBuffer picture;
    picture.drawIcon(catalogue.image(first));
    writeCatalogueIcon(catalogue, first, picture, {codecs::OutputFormat::Cur}, (out / "one.cur").string());
    writeCatalogueIcon(catalogue, first, picture, {codecs::OutputFormat::OriginalIcon}, (out / "one.ico").string());
    EXPECT_EQ(readBytes(out / "one.cur"), source.originalIco(catalogue.record(first).iconIndex));
    EXPECT_EQ(readBytes(out / "one.ico")[2], 1); // the icon file type

    // Without the switch the same file gives its icons alone, at the same indexes.
    const IconCatalogue icons = harvested(dll, false);
    EXPECT_EQ(icons.itemCount(), catalogue.itemCount() - cursors);
    for (int i = 0; i < icons.itemCount(); ++i) EXPECT_FALSE(icons.record(i).cursor);
}

TEST(SaveAllEachImage, WritesEveryImageOfEveryIconNamedBySizeAndDepth)
{
    TempDir out;
    const IconCatalogue catalogue = harvested(fixture("icons32.dll"), false);
    SaveAllJob job;
    job.format = codecs::OutputFormat::EachImage;
    job.positions = {0, 3};
    EXPECT_EQ(saveAll(catalogue, out.path().string(), job), 7);
    EXPECT_EQ(job.written, 7);
    // What a window says of a run stopped partway counts icons, not files.
    EXPECT_EQ(job.iconsSaved, 2);
    EXPECT_EQ(job.total, 2);
    EXPECT_EQ(filesIn(out.path()), (std::set<std::string> {"icons32.dll_0_16x16x4.png", "icons32.dll_0_32x32x4.png",
                                                           "icons32.dll_0_32x32x8.png", "icons32.dll_0_32x32x32.png",
                                                           "icons32.dll_0_48x48x32.png", "icons32.dll_0_256x256x32.png",
                                                           "icons32.dll_3_32x32x24.png"}));

    // A second icon of the same name and images in the same run is numbered.
    OutputNames names;
    EachImageCounts counts;
    const platform::IconSource source = platform::IconSource::open(fixture("icons32.dll").string());
    writeEachImage(source, fixture("icons32.dll").string(), 3, out.path().string(), names, counts);
    writeEachImage(source, fixture("icons32.dll").string(), 3, out.path().string(), names, counts);
    EXPECT_EQ(counts.written, 2);
    EXPECT_EQ(counts.renamed, 1);
    EXPECT_TRUE(fs::exists(out / "icons32.dll_3_32x32x24 (2).png"));

    // A bitmap has one picture, the one its icon is made of: no unreadable image.
    const platform::IconSource bitmap = platform::IconSource::open(fixture("picture.bmp").string());
    writeEachImage(bitmap, fixture("picture.bmp").string(), 0, out.path().string(), names, counts);
    EXPECT_EQ(counts.written, 3);
    EXPECT_EQ(counts.unreadable, 0);
    EXPECT_TRUE(fs::exists(out / "picture.bmp_0_32x32x24.png"));
}
