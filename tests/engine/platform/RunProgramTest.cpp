#include "platform/RunProgram.h"

#include <gtest/gtest.h>

#include <chrono>

using namespace vextral::platform;
using namespace std::chrono_literals;

TEST(RunProgram, ArgumentsStatusAndOutput)
{
    // Each element is one argument, spaces and quotes included; no shell reads them.
    ProgramRun run = runProgram({"sh", "-c", "printf '%s|' \"$@\"", "sh", "a b", "c'd", "$HOME"}, 10s);
    EXPECT_TRUE(run.succeeded());
    EXPECT_EQ(run.output, "a b|c'd|$HOME|");

    run = runProgram({"sh", "-c", "echo out; echo oops >&2; exit 3"}, 10s);
    EXPECT_FALSE(run.timedOut);
    EXPECT_FALSE(run.succeeded());
    EXPECT_EQ(run.exitStatus, 3);
    EXPECT_EQ(run.output, "out\n");
    EXPECT_EQ(run.errors, "oops\n");

    // A program that cannot be started is an error with the system's reason.
    try {
        runProgram({"vextral-no-such-program"}, 10s);
        ADD_FAILURE() << "no error";
    } catch (const ProgramError& e) {
        EXPECT_STREQ(e.what(), "Cannot run vextral-no-such-program: No such file or directory");
        EXPECT_EQ(e.reason(), "No such file or directory");
    }
    EXPECT_THROW(runProgram({}, 10s), vextral::Error);

    // Output past the limit is read and dropped: the program is not stopped by a full pipe.
    run = runProgram({"head", "-c", "3000000", "/dev/zero"}, 10s, 1000);
    EXPECT_TRUE(run.succeeded());
    EXPECT_EQ(run.output.size(), 1000u);

    EXPECT_EQ(findProgram("sh").substr(findProgram("sh").size() - 3), "/sh");
    EXPECT_EQ(findProgram("vextral-no-such-program"), "");
}

TEST(RunProgram, TimeLimitAndChildrenLeftRunning)
{
    using Clock = std::chrono::steady_clock;
    auto start = Clock::now();
    ProgramRun run = runProgram({"sh", "-c", "exec sleep 20"}, 300ms);
    EXPECT_TRUE(run.timedOut);
    EXPECT_FALSE(run.succeeded());
    EXPECT_LT(Clock::now() - start, 3s);

    // A program that ends while a child of its own still holds its output open is done when it ends.
    start = Clock::now();
    run = runProgram({"sh", "-c", "sleep 3 & echo done"}, 10s);
    EXPECT_TRUE(run.succeeded());
    EXPECT_EQ(run.output, "done\n");
    EXPECT_LT(Clock::now() - start, 2s);
}
