#include "harvest/Mask.h"

#include "core/Error.h"

#include <gtest/gtest.h>

using vextral::Mask;

namespace {

std::string errorOf(const std::string& pattern)
{
    try {
        Mask m(pattern);
    } catch (const vextral::Error& e) {
        return e.what();
    }
    return "";
}

} // namespace

TEST(Mask, MatchesWholeNamesWithWildcardsAndSets)
{
    EXPECT_TRUE(Mask("*.exe").matches("a.EXE"));
    EXPECT_FALSE(Mask("*.exe").matches("a.exe.txt"));
    EXPECT_TRUE(Mask("*?").matches("x"));
    EXPECT_TRUE(Mask("*?").matches("")); // the "?" is absorbed by the "*"
    // Only the first "?" after a "*" is absorbed.
    EXPECT_TRUE(Mask("a*?").matches("a"));
    EXPECT_FALSE(Mask("a*??").matches("a"));
    EXPECT_TRUE(Mask("a*??").matches("ab"));
    EXPECT_TRUE(Mask("*?*?").matches(""));
    EXPECT_TRUE(Mask("a?c").matches("ABC"));
    EXPECT_FALSE(Mask("a?c").matches("AC"));
    EXPECT_TRUE(Mask("[a-c]*").matches("Bravo.exe"));
    EXPECT_FALSE(Mask("[!a-c]*").matches("Bravo.exe"));
    EXPECT_TRUE(Mask("[!a-c]*").matches("delta"));
    EXPECT_FALSE(Mask("[c-a]*").matches("b")); // a backward range adds nothing
    EXPECT_TRUE(Mask("**x**").matches("abxcd"));
    EXPECT_TRUE(Mask("my file*.ico").matches("MY FILE 2.ico"));
    EXPECT_TRUE(Mask("*").matches(""));
    EXPECT_FALSE(Mask("").matches("a"));
    EXPECT_TRUE(Mask("a*b*c").matches("aXbYbZc"));
    EXPECT_FALSE(Mask("a*b*c").matches("aXbYbZ"));
    // Only A-Z fold; other characters match themselves, a character at a time.
    EXPECT_TRUE(Mask("?.ico").matches("é.ico"));
    EXPECT_FALSE(Mask("É.ico").matches("é.ico"));
    EXPECT_TRUE(Mask("[a-]x").matches("-x"));
}

TEST(Mask, InvalidPatternsNameThePosition)
{
    EXPECT_EQ(errorOf("*.[ex"), "'*.[ex' is an invalid mask at (6)");
    EXPECT_EQ(errorOf("a[]"), "'a[]' is an invalid mask at (3)");
    EXPECT_EQ(errorOf("[-a]"), "'[-a]' is an invalid mask at (2)");
    EXPECT_EQ(errorOf("*" + std::string(30, 'a')), "");
    EXPECT_EQ(errorOf("*" + std::string(31, 'a')), "'*" + std::string(31, 'a') + "' is an invalid mask at (32)");
    EXPECT_EQ(errorOf(std::string(40, 'a')), ""); // the limit counts positions after a "*" only
}

TEST(Mask, SplitsPatternLists)
{
    using V = std::vector<std::string>;
    EXPECT_EQ(vextral::splitMaskList("*.exe,*.dll"), (V {"*.exe", "*.dll"}));
    EXPECT_EQ(vextral::splitMaskList("*.exe, *.dll,"), (V {"*.exe", "*.dll"}));
    EXPECT_EQ(vextral::splitMaskList("  my file*.ico  "), (V {"my file*.ico"}));
    EXPECT_EQ(vextral::splitMaskList(""), V {});
    EXPECT_EQ(vextral::splitMaskList(",,*.a"), (V {"*.a"}));
}
