// The desktop program's own options: answered on standard output without a
// window system, as a user types them on a console or over ssh.
#include "core/ProductInfo.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <string>
#include <sys/wait.h>

namespace {

struct ProgramRun {
    int status = -1;
    std::string out;
};

// Runs the program with no display of any kind.
ProgramRun runWithoutDisplay(const std::string& arguments)
{
    const std::string command = "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM " +
                                vextral::test::shellQuote(VEXTRAL_PROGRAM) + " " + arguments + " 2>/dev/null";
    ProgramRun r;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return r;
    std::array<char, 4096> buffer {};
    std::size_t n;
    while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0) r.out.append(buffer.data(), n);
    const int status = ::pclose(pipe);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

} // namespace

TEST(ProgramArguments, VersionAndHelpNeedNoDisplay)
{
    const ProgramRun version = runWithoutDisplay("--version");
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, std::string("vextral ") + vextral::product::kVersion + "\n");

    for (const char* help : {"--help", "-h"}) {
        const ProgramRun usage = runWithoutDisplay(help);
        EXPECT_EQ(usage.status, 0) << help;
        EXPECT_TRUE(usage.out.starts_with("Usage: vextral [FILE | FOLDER]...\n")) << usage.out;
    }
}
