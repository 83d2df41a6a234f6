#include "core/Json.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

using vextral::jsonString;

namespace {

// The bytes of text in hexadecimal, two digits a byte.
std::string hex(const std::string& text)
{
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string out;
    for (const char c : text) {
        out += kDigits[static_cast<unsigned char>(c) >> 4];
        out += kDigits[static_cast<unsigned char>(c) & 0xF];
    }
    return out;
}

} // namespace

TEST(Json, EscapesQuotesBackslashesAndControlCharacters)
{
    EXPECT_EQ(jsonString(""), "\"\"");
    EXPECT_EQ(jsonString("a\"b\\c/d"), "\"a\\\"b\\\\c/d\"");
    EXPECT_EQ(jsonString("\b\f\n\r\t"), "\"\\b\\f\\n\\r\\t\"");
    EXPECT_EQ(jsonString(std::string("\0\x01\x1f\x7f", 4)), "\"\\u0000\\u0001\\u001f\\u007f\"");
    // Valid UTF-8 as it is, of every length.
    EXPECT_EQ(jsonString("\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80"), "\"\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80\"");
}

TEST(Json, WritesBytesThatAreNoUtf8AsSurrogateEscapes)
{
    EXPECT_EQ(jsonString("a\xff"), "\"a\\udcff\"");
    EXPECT_EQ(jsonString("\x80"), "\"\\udc80\"");            // a lone continuation byte
    EXPECT_EQ(jsonString("\xc0\x80"), "\"\\udcc0\\udc80\""); // an overlong NUL
    EXPECT_EQ(jsonString("\xe0\x80\xaf"), "\"\\udce0\\udc80\\udcaf\"");
    EXPECT_EQ(jsonString("\xed\xa0\x80"), "\"\\udced\\udca0\\udc80\"");            // a surrogate
    EXPECT_EQ(jsonString("\xf4\x90\x80\x80"), "\"\\udcf4\\udc90\\udc80\\udc80\""); // past U+10FFFF
    EXPECT_EQ(jsonString("\xe2\x82z"), "\"\\udce2\\udc82z\"");                     // cut short
    EXPECT_EQ(jsonString("\xf0\x9f\x98"), "\"\\udcf0\\udc9f\\udc98\"");            // cut at the end
}

// Python's JSON parser and its surrogateescape encoder give back every string's bytes.
TEST(Json, PythonGivesBackTheBytesOfEveryString)
{
    std::string samples;
    std::string lines;
    for (int b = 0; b < 256; ++b) {
        for (const std::string& s :
             {std::string(1, static_cast<char>(b)),
              "x" + std::string(1, static_cast<char>(b)) + "\xe2\x82\xac" + std::string(1, static_cast<char>(b))}) {
            samples += hex(s) + "\n";
            lines += jsonString(s) + "\n";
        }
    }
    for (const char* s : {"\xed\x9f\xbf", "\xee\x80\x80", "\xef\xbf\xbf", "\xf0\x90\x80\x80", "\xf4\x8f\xbf\xbf",
                          "\xc2\x80", "\xdf\xbf", "\xe1\x80", "\xf5\x80\x80\x80", "\xf8\x88\x80\x80\x80"}) {
        samples += hex(s) + "\n";
        lines += jsonString(s) + "\n";
    }
    const vextral::test::TempDir dir;
    std::ofstream(dir / "samples", std::ios::binary) << samples;
    std::ofstream(dir / "lines", std::ios::binary) << lines;
    const std::string script = "import json,sys\n"
                               "want = [bytes.fromhex(l) for l in open(sys.argv[1]).read().split('\\n')[:-1]]\n"
                               "got = [json.loads(l).encode('utf-8','surrogateescape') for l in "
                               "open(sys.argv[2],'rb').read().decode('utf-8').split('\\n')[:-1]]\n"
                               "assert got == want, [(g, w) for g, w in zip(got, want) if g != w][:5]\n"
                               "print(len(got))\n";
    std::ofstream(dir / "check.py") << script;
    std::string said;
    const int status = vextral::test::runCommand("python3 " + vextral::test::shellQuote((dir / "check.py").string()) +
                                                     " " + vextral::test::shellQuote((dir / "samples").string()) + " " +
                                                     vextral::test::shellQuote((dir / "lines").string()) + " 2>&1",
                                                 &said);
    EXPECT_EQ(status, 0) << said;
    EXPECT_EQ(said, "522\n");
}
