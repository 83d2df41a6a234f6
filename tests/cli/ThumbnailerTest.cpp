#include "thumbnailer/Thumbnailer.h"

#include "TestSupport.h"
#include "platform/IconExtractor.h"

#include <gtest/gtest.h>
#include <png.h>

#include <sys/resource.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <vector>

using vextral::test::fixture;
using vextral::test::TempDir;
namespace th = vextral::thumbnailer;
namespace fs = std::filesystem;

namespace {

// A PNG file read back with libpng, as 0xAARRGGBB.
th::Rgba readPng(const fs::path& path)
{
    png_image image {};
    image.version = PNG_IMAGE_VERSION;
    th::Rgba out;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return out;
    image.format = PNG_FORMAT_BGRA;
    std::vector<std::uint32_t> pixels(PNG_IMAGE_SIZE(image) / 4);
    if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) return out;
    out.width = static_cast<int>(image.width);
    out.height = static_cast<int>(image.height);
    out.pixels = std::move(pixels);
    return out;
}

int runArgs(const std::vector<std::string>& args, std::string& err)
{
    err.clear();
    return th::run(args, err);
}

// The installed program as a file manager runs it; its exit status.
int runProgram(const std::string& arguments)
{
    const std::string command = std::string(VEXTRAL_THUMBNAILER) + " " + arguments + " 2>/dev/null";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

} // namespace

TEST(Thumbnailer, ReadsTheSizeAndTheTwoNamesInAnyOrder)
{
    std::string error;
    for (const std::vector<std::string>& args : {std::vector<std::string> {"-s", "128", "in.exe", "out.png"},
                                                 {"in.exe", "-s", "128", "out.png"},
                                                 {"-s128", "in.exe", "out.png"},
                                                 {"--size=128", "in.exe", "out.png"},
                                                 {"in.exe", "out.png", "--size", "128"}}) {
        const auto a = th::parseArguments(args, error);
        ASSERT_TRUE(a) << args[0] << ": " << error;
        EXPECT_EQ(a->size, 128);
        EXPECT_EQ(a->input, "in.exe");
        EXPECT_EQ(a->output, "out.png");
    }
    EXPECT_EQ(th::parseArguments({"-s", "1", "a", "b"}, error)->size, 1);
    EXPECT_EQ(th::parseArguments({"-s", "1024", "a", "b"}, error)->size, 1024);
    for (const std::vector<std::string>& bad : {std::vector<std::string> {"-s", "0", "a", "b"},
                                                {"-s", "1025", "a", "b"},
                                                {"-s", "-5", "a", "b"},
                                                {"-s", "12x", "a", "b"},
                                                {"-s", "99999999999", "a", "b"},
                                                {"-s", "", "a", "b"},
                                                {"a", "b"},
                                                {"-s", "32", "a"},
                                                {"-s", "32", "a", "b", "c"},
                                                {"-s"},
                                                {"-x", "-s", "32", "a", "b"}}) {
        error.clear();
        EXPECT_FALSE(th::parseArguments(bad, error)) << bad.size();
        EXPECT_NE(error, "");
    }
}

TEST(Thumbnailer, WritesTheFirstIconOfEachKindOfFileAsAnRgbaPngOfTheSize)
{
    TempDir dir;
    std::string err;
    for (const char* name : {"icons64.dll", "icons32.dll", "library.icl", "library.nil", "multi.ico", "arrow.cur",
                             "spin.ani", "only48.ico"}) {
        for (int size : {16, 48, 256}) {
            const fs::path out = dir / (std::string(name) + std::to_string(size) + ".png");
            ASSERT_EQ(runArgs({"-s", std::to_string(size), fixture(name).string(), out.string()}, err), 0)
                << name << ": " << err;
            const th::Rgba png = readPng(out);
            EXPECT_EQ(png.width, size) << name;
            EXPECT_EQ(png.height, size) << name;
            bool opaque = false;
            for (std::uint32_t p : png.pixels) opaque = opaque || (p >> 24) == 0xFF;
            EXPECT_TRUE(opaque) << name << " at " << size << " shows nothing";
        }
    }
    // At the large-icon size the picture is the icon the harvest shows: the
    // same colours where it is opaque, and clear where it is clear.
    const auto icon = vextral::platform::extractIcon(fixture("icons64.dll").string(), 0);
    ASSERT_TRUE(icon && icon->hasAlpha);
    const fs::path out = dir / "same.png";
    ASSERT_EQ(runArgs({"-s", "32", fixture("icons64.dll").string(), out.string()}, err), 0);
    const th::Rgba png = readPng(out);
    ASSERT_EQ(png.pixels.size(), static_cast<std::size_t>(vextral::Icon::kPixels));
    for (int i = 0; i < vextral::Icon::kPixels; ++i) {
        const std::uint32_t want = icon->colour[static_cast<std::size_t>(i)];
        if (want >> 24 == 0xFF) {
            EXPECT_EQ(png.pixels[static_cast<std::size_t>(i)], want) << i;
        } else if (want >> 24 == 0) {
            EXPECT_EQ(png.pixels[static_cast<std::size_t>(i)] >> 24, 0u) << i;
        }
    }
}

TEST(Thumbnailer, EachSizeIsDrawnFromTheImageStoredAtThatSize)
{
    // ImageMagick reads the icon's images on its own; a thumbnail at a stored
    // size is that image, not another one scaled.
    TempDir dir;
    std::string err;
    const std::string ico = fixture("sizes16_64.ico").string();
    for (auto [size, frame] : {std::pair {16, 0}, std::pair {64, 1}}) {
        const fs::path ours = dir / ("ours" + std::to_string(size) + ".png");
        const fs::path theirs = dir / ("theirs" + std::to_string(size) + ".png");
        ASSERT_EQ(runArgs({"-s", std::to_string(size), ico, ours.string()}, err), 0) << err;
        const std::string convert =
            "convert '" + ico + "[" + std::to_string(frame) + "]' PNG32:'" + theirs.string() + "'";
        ASSERT_EQ(std::system(convert.c_str()), 0);
        const th::Rgba a = readPng(ours), b = readPng(theirs);
        ASSERT_EQ(a.width, size);
        ASSERT_EQ(b.width, size);
        ASSERT_EQ(a.pixels.size(), b.pixels.size());
        int opaque = 0;
        for (std::size_t i = 0; i < a.pixels.size(); ++i) {
            if (b.pixels[i] >> 24 == 0xFF) {
                ++opaque;
                EXPECT_EQ(a.pixels[i], b.pixels[i]) << size << " at " << i;
            } else if (b.pixels[i] >> 24 == 0) {
                EXPECT_EQ(a.pixels[i] >> 24, 0u) << size << " at " << i;
            }
        }
        EXPECT_GT(opaque, size * size / 4);
    }
}

TEST(Thumbnailer, AFileWithoutAUsableIconGivesNoOutputAndAFailure)
{
    TempDir dir;
    const std::vector<std::uint8_t> dll = vextral::test::readBytes(fixture("icons64.dll"));
    vextral::test::writeBytes(dir / "cut.dll", std::vector<std::uint8_t>(dll.begin(), dll.begin() + dll.size() / 3));
    std::vector<std::uint8_t> header(dll.begin(), dll.begin() + 64);
    vextral::test::writeBytes(dir / "header.exe", header);
    std::string err;
    for (const fs::path& input :
         {fixture("garbage.bin"), fixture("empty.bin"), fixture("noicons.dll"), fs::path(dir / "cut.dll"),
          fs::path(dir / "header.exe"), fs::path(dir / "missing.ico"), fs::path(dir.path())}) {
        const fs::path out = dir / "out.png";
        EXPECT_NE(runArgs({"-s", "64", input.string(), out.string()}, err), 0) << input;
        EXPECT_NE(err, "") << input;
        EXPECT_FALSE(fs::exists(out)) << input;
    }
    // An output that cannot be written is a failure, not a silent success.
    EXPECT_EQ(runArgs({"-s", "64", fixture("multi.ico").string(), (dir / "no/such/folder/x.png").string()}, err), 1);
    EXPECT_EQ(err, "Cannot create file " + (dir / "no/such/folder/x.png").string() + ": No such file or directory\n");
    EXPECT_EQ(runArgs({"-s", "zero", "a", "b"}, err), 2);
    EXPECT_NE(err.find("Usage: vextral-thumbnailer -s SIZE INPUT OUTPUT"), std::string::npos);
}

TEST(Thumbnailer, TheProgramRunsWithinItsLimitsOnEveryInput)
{
    TempDir dir;
    const std::string out = (dir / "t.png").string();
    EXPECT_EQ(runProgram("-s 96 " + fixture("icons64.dll").string() + " " + out), 0);
    EXPECT_EQ(readPng(out).width, 96);
    fs::remove(out);
    EXPECT_EQ(runProgram("-s 96 " + fixture("garbage.bin").string() + " " + out), 1);
    EXPECT_FALSE(fs::exists(out));
    EXPECT_EQ(runProgram("-s 96 only-one-name"), 2);

    // Reading a pipe that never ends is stopped by the real-time limit.
    const fs::path fifo = dir / "fifo.ico";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const auto start = std::chrono::steady_clock::now();
    const int status = runProgram("-s 96 " + fifo.string() + " " + out);
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_NE(status, 0);
    EXPECT_LT(took, std::chrono::seconds(3));
    EXPECT_FALSE(fs::exists(out));
}

TEST(Thumbnailer, TheLimitsStopRunawayMemoryAndProcessorUse)
{
    // Each in a child of its own: the limits last for the process's life.
    if (th::kMemoryLimited) {
        EXPECT_EXIT(
            {
                if (!th::applyLimits()) std::_Exit(10);
                rlimit as {};
                ::getrlimit(RLIMIT_AS, &as);
                if (as.rlim_cur != th::kMemoryLimit) std::_Exit(11);
                try {
                    std::vector<std::uint8_t> big(200u * 1024 * 1024, 1);
                    std::_Exit(big[12345] == 1 ? 12 : 13);
                } catch (const std::bad_alloc&) {
                    std::_Exit(0);
                }
            },
            testing::ExitedWithCode(0), "");
    }
    EXPECT_EXIT(
        {
            if (!th::applyLimits()) std::_Exit(10);
            volatile unsigned long spin = 0;
            for (;;) spin = spin + 1;
        },
        testing::ExitedWithCode(3), "time limit");
}
