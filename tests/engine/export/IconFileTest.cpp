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
