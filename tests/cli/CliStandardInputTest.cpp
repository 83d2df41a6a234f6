#include "cli/StandardInput.h"

#include "TestSupport.h"
#include "support/CliRun.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using vextral::test::CliResult;
using vextral::test::fixture;
using vextral::test::readBytes;
using vextral::test::runCliProgram;
using vextral::test::settingsIn;
using vextral::test::shellQuote;
using vextral::test::TempDir;
namespace fs = std::filesystem;

namespace {

// The program run in folder with path on its standard input and its
// temporary files in tmp.
CliResult fed(const fs::path& path, const fs::path& folder, const TempDir& tmp, const std::vector<std::string>& args)
{
    return runCliProgram(args, "cd " + shellQuote(folder.string()) + " && TMPDIR=" + shellQuote(tmp.path().string()) +
                                   " <" + shellQuote(path.string()) + " ");
}

std::size_t entries(const fs::path& folder)
{
    std::size_t n = 0;
    for (auto it = fs::directory_iterator(folder); it != fs::directory_iterator(); ++it) ++n;
    return n;
}

// What a stream gives when bytes are written into it and it is closed (a
// socket, so that a writer cut off by the reader is told so, not signalled).
vextral::ReadResult<std::vector<std::uint8_t>> readThroughPipe(std::size_t bytes, std::uint64_t limit)
{
    int fds[2];
    EXPECT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0);
    std::thread writer([&] {
        const std::vector<char> data(bytes, 'x');
        std::size_t done = 0;
        while (done < data.size()) {
            const ssize_t put = ::send(fds[1], data.data() + done, data.size() - done, MSG_NOSIGNAL);
            if (put <= 0) break;
            done += static_cast<std::size_t>(put);
        }
        ::close(fds[1]);
    });
    auto result = vextral::cli::readStandardInput(limit, fds[0]);
    ::close(fds[0]); // a writer still blocked on a refused input is told EPIPE
    writer.join();
    return result;
}

} // namespace

TEST(CliStandardInput, IconsListsAndExtractsStandardInputAsDash)
{
    TempDir dir, tmp;
    const CliResult r = fed(fixture("icons64.dll"), dir.path(), tmp, {"icons", "--extract", "out", "-"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, "-: 4 icons (PE)\n"
                     "  0 APPICON: 16x16x4, 32x32x4, 32x32x8, 32x32x32, 48x48x32, 256x256x32 png\n"
                     "  1 #1: 32x32x4\n"
                     "  2 #2: 48x48x8\n"
                     "  3 #7: 32x32x24\n");
    for (int i = 0; i < 4; ++i) EXPECT_TRUE(fs::exists(dir / ("out/stdin_" + std::to_string(i) + ".ico"))) << i;

    // "./-" is the file called "-", not standard input.
    fs::copy_file(fixture("multi.ico"), dir / "-");
    const CliResult named = fed("/dev/null", dir.path(), tmp, {"icons", "./-"});
    EXPECT_EQ(named.status, 0) << named.err;
    EXPECT_EQ(named.out.rfind("./-: 1 icon (ICO)\n", 0), 0u) << named.out;
    EXPECT_EQ(entries(tmp.path()), 0u);
}

TEST(CliStandardInput, DashNamedTwiceIsAUsageError)
{
    TempDir dir, tmp;
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>> {
             {"icons", "-", "-"},
             {"convert", "--to", "png", "-", "-"},
             {"harvest", "--settings", settingsIn(dir), "-", "-"},
             {"web", "--settings", settingsIn(dir), "--out", "gallery", "-", "-"},
         }) {
        const CliResult r = fed("/dev/null", dir.path(), tmp, args);
        EXPECT_EQ(r.status, 2) << args.front();
        EXPECT_NE(r.err.find("standard input (-) can be named only once"), std::string::npos) << r.err;
    }
}

TEST(CliStandardInput, HarvestTakesStandardInputAsOneFileAndRemovesItsCopy)
{
    TempDir dir, tmp;
    const CliResult r = fed(fixture("icons64.dll"), dir.path(), tmp,
                            {"harvest", "--settings", settingsIn(dir), "--save-all", "icons", "--type", "ico", "-"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "Harvested 4 icons from 1 file and 0 files found in 0 folders\nWrote 4 files to icons\n");
    for (int i = 0; i < 4; ++i) EXPECT_TRUE(fs::exists(dir / ("icons/stdin_" + std::to_string(i) + ".ico"))) << i;
    EXPECT_EQ(entries(tmp.path()), 0u) << "the copy of standard input is left behind";

    const CliResult web =
        fed(fixture("multi.ico"), dir.path(), tmp, {"web", "--settings", settingsIn(dir), "--out", "gallery", "-"});
    EXPECT_EQ(web.status, 0) << web.err;
    EXPECT_TRUE(fs::exists(dir / "gallery/1.gif"));
    EXPECT_EQ(entries(tmp.path()), 0u);
}

TEST(CliStandardInput, ConvertReadsStandardInputByItsBytesOrByFrom)
{
    const fs::path convert = fixture("convert");
    TempDir dir, tmp;
    const CliResult png = fed(convert / "colour.png", dir.path(), tmp, {"convert", "--to", "gif", "-"});
    EXPECT_EQ(png.status, 0) << png.err;
    EXPECT_EQ(png.out, "- -> stdin.gif\n");
    const auto gif = readBytes(dir / "stdin.gif");
    ASSERT_GE(gif.size(), 6u);
    EXPECT_EQ(std::string(gif.begin(), gif.begin() + 3), "GIF");
    // A TIFF's magic holds a NUL byte.
    const CliResult tif = fed(convert / "colour.tif", dir.path(), tmp, {"convert", "--to", "png", "-"});
    EXPECT_EQ(tif.status, 0) << tif.err;
    EXPECT_EQ(tif.out, "- -> stdin.png\n");
    EXPECT_TRUE(fs::is_regular_file(dir / "stdin.png"));

    // Targa says nothing of itself in its first bytes: --from names it.
    const CliResult unknown = fed(convert / "colour.tga", dir.path(), tmp, {"convert", "--to", "out.bmp", "-"});
    EXPECT_EQ(unknown.status, 1);
    EXPECT_EQ(unknown.err, "vextral-cli convert: -: cannot tell the picture format of standard input; name it with "
                           "--from EXT\n");
    EXPECT_FALSE(fs::exists(dir / "out.bmp"));
    const CliResult tga =
        fed(convert / "colour.tga", dir.path(), tmp, {"convert", "--from", "tga", "--to", "out.bmp", "-"});
    EXPECT_EQ(tga.status, 0) << tga.err;
    EXPECT_EQ(tga.out, "- -> out.bmp\n");
    EXPECT_EQ(readBytes(dir / "out.bmp").at(0), 'B');

    const CliResult badFrom = fed("/dev/null", dir.path(), tmp, {"convert", "--from", "xyz", "--to", "png", "-"});
    EXPECT_EQ(badFrom.status, 2);
    EXPECT_NE(badFrom.err.find("unknown picture format 'xyz' for --from"), std::string::npos) << badFrom.err;
}

TEST(CliStandardInput, ReadingIsBoundedByTheLimit)
{
    const auto within = readThroughPipe(100000, 100000);
    ASSERT_TRUE(within.ok()) << within.reason();
    EXPECT_EQ(within->size(), 100000u);

    const auto over = readThroughPipe(100001, 100000);
    EXPECT_FALSE(over.ok());
    EXPECT_EQ(over.reason(), "standard input is larger than 100000 bytes");

    // A large input against a small limit stops at the limit, whatever follows.
    const auto large = readThroughPipe(4 << 20, 10);
    EXPECT_EQ(large.reason(), "standard input is larger than 10 bytes");

    const auto empty = readThroughPipe(0, 10);
    ASSERT_TRUE(empty.ok());
    EXPECT_TRUE(empty->empty());
}
