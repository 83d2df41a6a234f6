#include "export/IconFile.h"

#include "TestSupport.h"
#include "platform/IconExtractor.h"

#include <gtest/gtest.h>

using namespace vextral;
using namespace vextral::exporting;
using vextral::test::readBytes;
using vextral::test::runCommand;
using vextral::test::shellQuote;
using vextral::test::TempDir;

TEST(IconFile, IconsAreSavedAsTheirSourceHoldsThem)
{
    TempDir dir;
    const std::string dll = test::fixture("icons64.dll").string();
    const auto icon = platform::IconSource::open(dll).icon(0);
    ASSERT_TRUE(icon);
    writeIconFile(*icon, dll, 0, (dir / "a.ico").string());
    EXPECT_EQ(readBytes(dir / "a.ico"), readBytes(test::fixture("multi.ico")));

    // The source is gone: the catalogue's picture is written, 32-bit with alpha.
    writeIconFile(*icon, (dir / "gone.dll").string(), 0, (dir / "b.ico").string());
    std::string listing;
    ASSERT_EQ(runCommand("icotool -l " + shellQuote((dir / "b.ico").string()), &listing), 0);
    EXPECT_EQ(listing, "--icon --index=1 --width=32 --height=32 --bit-depth=32 --palette-size=0\n");
    EXPECT_EQ(*platform::IconSource::open((dir / "b.ico").string()).icon(0), *icon);
}

TEST(IconFile, CursorsAreSavedAsIconsWithTheirImages)
{
    TempDir dir;
    for (const char* name : {"arrow.cur", "spin.ani"}) {
        const std::string file = test::fixture(name).string();
        const auto source = platform::IconSource::open(file);
        const auto icon = source.icon(0);
        ASSERT_TRUE(icon) << name;
        const std::string out = (dir / (std::string(name) + ".ico")).string();
        writeIconFile(*icon, file, 0, out);
        const auto saved = platform::IconSource::open(out);
        EXPECT_EQ(saved.kind(), platform::IconFileKind::Ico) << name;
        EXPECT_EQ(*saved.icon(0), *icon) << name;
        // The images are the cursor's own, byte for byte.
        const auto images = saved.images(0), original = source.images(0);
        ASSERT_EQ(images.size(), original.size());
        std::string listing;
        ASSERT_EQ(runCommand("icotool -l " + shellQuote(out), &listing), 0);
        EXPECT_EQ(listing.rfind("--icon ", 0), 0u) << listing;
        EXPECT_NE(listing.find("--bit-depth="), std::string::npos) << listing;
    }
}
