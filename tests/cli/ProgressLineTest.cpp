#include "cli/ProgressLine.h"

#include <gtest/gtest.h>

#include <sstream>

using vextral::cli::ProgressLine;
using namespace std::chrono_literals;

namespace {

const std::string kClear = "\r\033[K";

struct Screen {
    std::ostringstream err;
    std::chrono::steady_clock::time_point now {};
    ProgressLine line {err, true, 40, [this] { return now; }};
    // What was written since the last look.
    std::string take()
    {
        const std::string text = err.str();
        err.str("");
        return text;
    }
};

} // namespace

TEST(ProgressLine, RedrawnAtMostTenTimesASecond)
{
    Screen s;
    s.line.setExtracted("Extracted "); // no count yet: not shown
    EXPECT_EQ(s.take(), kClear + "  0%");
    s.now += 100ms;
    s.line.setStatus("Extracting icons from files...");
    EXPECT_EQ(s.take(), kClear + "Extracting icons from files...  0%");
    s.line.setGaugeTotal(50);
    s.line.setExtracted("Extracted 3 icons");
    s.now += 99ms;
    s.line.setExtracted("Extracted 4 icons");
    EXPECT_EQ(s.take(), "");
    s.now += 1ms;
    s.line.setExtracted("Extracted 5 icons");
    EXPECT_EQ(s.take(), kClear + "Extracting icons from files...  Extract"); // cut at the terminal's width
}

TEST(ProgressLine, ShowsTheSearchAndTheSavingAndIsClearedOnce)
{
    Screen s;
    s.line.setStatus("Searching for files...");
    s.take();
    s.now += 100ms;
    s.line.setSearchFolder("/usr/lib");
    s.line.setFound("1 files");
    EXPECT_EQ(s.take(), kClear + "Searching /usr/lib... 1 file found");
    s.now += 100ms;
    // A long folder keeps its end; control characters in names are not sent to the terminal.
    s.line.setSearchFolder("/a/very/long/folder/name/with\ta/tab");
    s.line.setFound("12 files");
    const std::string text = s.take();
    EXPECT_EQ(text, kClear + "Searching ...th?a/tab... 12 files found");
    EXPECT_EQ(text.size() - kClear.size(), 39u);
    s.now += 100ms;
    s.line.saving(2, 7);
    EXPECT_EQ(s.take(), kClear + "Saving 2/7");
    s.line.clear();
    s.line.clear();
    EXPECT_EQ(s.take(), kClear);

    // Not on a terminal: nothing at all.
    std::ostringstream quiet;
    ProgressLine off(quiet, false);
    off.setStatus("Searching for files...");
    off.saving(1, 1);
    off.clear();
    EXPECT_EQ(quiet.str(), "");
}
