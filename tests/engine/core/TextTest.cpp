#include "core/Text.h"

#include "core/Error.h"
#include "core/FileName.h"

#include <gtest/gtest.h>

using namespace vextral;

TEST(Text, IntegersAsUsersAndTheSettingsFileWriteThem)
{
    EXPECT_EQ(parseInteger("42"), 42);
    EXPECT_EQ(parseInteger("+7"), 7);
    EXPECT_EQ(parseInteger("-2147483648"), INT32_MIN);
    EXPECT_EQ(parseInteger("2147483647"), INT32_MAX);
    EXPECT_EQ(parseInteger("2147483648"), std::nullopt);
    EXPECT_EQ(parseInteger("$FF"), 255);
    EXPECT_EQ(parseInteger("0x1f"), 31);
    EXPECT_EQ(parseInteger("$FFFFFFFF"), -1);
    EXPECT_EQ(parseInteger("$100000000"), std::nullopt);
    for (const char* bad : {"", "-", "$", "0x", " 1", "1 ", "4O", "1e3", "0x1g"}) {
        EXPECT_EQ(parseInteger(bad), std::nullopt) << bad;
    }
    EXPECT_EQ(integerFromText("613"), 613);
    try {
        integerFromText("4O");
        FAIL();
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "'4O' is not a valid integer value");
    }
}

TEST(Text, LetterCaseOfAsciiOnly)
{
    EXPECT_TRUE(sameName("Exe File", "EXE FILE"));
    EXPECT_FALSE(sameName("Exe File", "Exe Files"));
    // Bytes above ASCII (UTF-8 letters) are compared as they are.
    EXPECT_FALSE(sameName("\xC3\xA9", "\xC3\x89"));
    EXPECT_EQ(upperAscii("ab\xC3\xA9z"), "AB\xC3\xA9Z");
    EXPECT_EQ(lowerAscii("PNG"), "png");
}

TEST(Text, MarkupEscapedWritesCharacterReferences) { EXPECT_EQ(markupEscaped("a<&>\"b'"), "a&lt;&amp;&gt;&quot;b'"); }

TEST(FileName, PartsOfLinuxPaths)
{
    EXPECT_EQ(fileNamePart("/data/app.exe"), "app.exe");
    EXPECT_EQ(fileNamePart("/data/a:b.dll"), "a:b.dll"); // ":" is an ordinary character
    EXPECT_EQ(fileNamePart("plain"), "plain");
    EXPECT_EQ(fileNamePart("/data/"), "");
    // Letter case does not count: .TIFF is the TIFF writer's; dots in folders do not count.
    EXPECT_EQ(lowerExtension("/x.y/Pic.TIFF"), ".tiff");
    EXPECT_EQ(lowerExtension("/x.y/noext"), "");
    EXPECT_EQ(lowerExtension("a.b.PnG"), ".png");
}
