#include "cli/ShownText.h"
#include "cli/CliConvert.h"
#include "cli/CliHarvest.h"

#include "TestSupport.h"
#include "support/CliRun.h"

#include <gtest/gtest.h>

using vextral::cli::shownText;
using vextral::test::CliResult;
using vextral::test::TempDir;

TEST(ShownText, EscapesBackslashesAndControlBytesOnly)
{
    EXPECT_EQ(shownText("plain name.dll"), "plain name.dll");
    EXPECT_EQ(shownText("a\\b"), "a\\\\b");
    EXPECT_EQ(shownText("line\nnext\tcol\rend"), "line\\nnext\\tcol\\rend");
    EXPECT_EQ(shownText(std::string("\0\x01\x1b[31m\x7f", 8)), "\\x00\\x01\\x1b[31m\\x7f");
    // UTF-8 and other bytes above the controls stay as they are.
    EXPECT_EQ(shownText("caf\xc3\xa9 \xff"), "caf\xc3\xa9 \xff");
}

TEST(ShownText, HarvestAndConvertShowTheNamesTheyReportEscaped)
{
    TempDir home;
    const std::string missing = (home / "no\nsuch.dll").string();
    const std::string shown = home.path().string() + "/no\\nsuch.dll";
    const CliResult harvest = vextral::test::runCliIn(home, vextral::cli::runHarvest, {missing});
    EXPECT_EQ(harvest.status, 1);
    EXPECT_EQ(harvest.err, "vextral-cli harvest: " + shown + ": No such file or directory\n");

    const std::string picture = (home / "no\tsuch.png").string();
    const CliResult convert = vextral::test::runCli(vextral::cli::runConvert, {"--to", "gif", picture});
    EXPECT_EQ(convert.status, 1);
    EXPECT_EQ(convert.err.rfind("vextral-cli convert: " + home.path().string() + "/no\\tsuch.png: ", 0), 0u)
        << convert.err;
    EXPECT_EQ(convert.err.find('\t'), std::string::npos) << convert.err;
}
