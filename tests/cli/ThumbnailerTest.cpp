#include "thumbnailer/Thumbnailer.h"

#include "TestSupport.h"
#include "platform/IconExtractor.h"

#include <gtest/gtest.h>
#include <png.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
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

// The whole content of an open file, read through its descriptor.
std::vector<std::uint8_t> contentOf(int fd)
{
    std::vector<std::uint8_t> bytes;
    std::uint8_t buffer[4096];
    for (off_t at = 0;;) {
        const ssize_t n = ::pread(fd, buffer, sizeof buffer, at);
        if (n <= 0) break;
        bytes.insert(bytes.end(), buffer, buffer + n);
        at += n;
    }
    return bytes;
}

// A PNG in memory decoded with libpng: its width and height, or 0 x 0.
std::pair<int, int> pngSize(const std::vector<std::uint8_t>& bytes)
{
    png_image image {};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, bytes.data(), bytes.size())) return {0, 0};
    image.format = PNG_FORMAT_RGBA;
    std::vector<std::uint8_t> pixels(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) return {0, 0};
    return {static_cast<int>(image.width), static_cast<int>(image.height)};
}

// OUTPUT made and held open by the caller before the thumbnailer runs, as
// Xfce's tumbler does.
struct HeldOutput {
    explicit HeldOutput(const fs::path& path) : fd(::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600)) {}
    ~HeldOutput()
    {
        if (fd >= 0) ::close(fd);
    }
    ino_t inode() const
    {
        struct stat st {};
        return ::fstat(fd, &st) == 0 ? st.st_ino : 0;
    }
    int fd;
};

std::vector<std::string> namesIn(const fs::path& folder)
{
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

ino_t inodeAt(const fs::path& path)
{
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 ? st.st_ino : 0;
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

TEST(Thumbnailer, ThePictureIsWrittenIntoTheOutputTheCallerHoldsOpen)
{
    TempDir dir;
    const fs::path out = dir / "held.png";
    const HeldOutput held(out);
    ASSERT_GE(held.fd, 0) << std::strerror(errno);
    // Something stale and longer than the picture: it must not survive.
    const std::vector<std::uint8_t> stale(200000, 'x');
    ASSERT_EQ(::write(held.fd, stale.data(), stale.size()), static_cast<ssize_t>(stale.size()));
    ASSERT_EQ(runProgram("-s 64 " + fixture("multi.ico").string() + " " + out.string()), 0);
    const std::vector<std::uint8_t> png = contentOf(held.fd);
    EXPECT_EQ(pngSize(png), std::make_pair(64, 64)) << png.size() << " bytes";
    EXPECT_EQ(inodeAt(out), held.inode()); // the same file, not one put in its place
    struct stat st {};
    ASSERT_EQ(::stat(out.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    EXPECT_EQ(namesIn(dir.path()), std::vector<std::string> {"held.png"});

    // A free name is made with 0666 less the umask.
    const mode_t mask = ::umask(027);
    const fs::path made = dir / "made.png";
    const int status = runProgram("-s 48 " + fixture("multi.ico").string() + " " + made.string());
    ::umask(mask);
    ASSERT_EQ(status, 0);
    EXPECT_EQ(readPng(made).width, 48);
    ASSERT_EQ(::stat(made.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
}

TEST(Thumbnailer, AFailureLeavesAGivenOutputEmptyAndAMadeOneGone)
{
    TempDir dir;
    std::string err;
    // No icon in the input: the program fails and OUTPUT holds no picture.
    const fs::path given = dir / "given.png";
    const HeldOutput held(given);
    ASSERT_EQ(::write(held.fd, "stale", 5), 5);
    EXPECT_EQ(runProgram("-s 64 " + fixture("garbage.bin").string() + " " + given.string()), 1);
    EXPECT_EQ(contentOf(held.fd).size(), 0u);
    EXPECT_EQ(inodeAt(given), held.inode());
    EXPECT_EQ(runProgram("-s 64 " + fixture("garbage.bin").string() + " " + (dir / "new.png").string()), 1);
    EXPECT_FALSE(fs::exists(dir / "new.png"));

    // A full disk: every write is checked, and the same holds.
    vextral::test::SmallDisk disk(64 * 1024);
    if (!disk.mounted()) GTEST_SKIP() << disk.error();
    const fs::path onDisk = disk / "given.png";
    const HeldOutput heldOnDisk(onDisk); // empty, as tumbler makes it: no page of the disk to free
    {
        const int filler = ::open((disk / "filler").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
        ASSERT_GE(filler, 0);
        const std::vector<std::uint8_t> block(4096, 0);
        while (::write(filler, block.data(), block.size()) > 0) {}
        ::close(filler);
    }
    const std::string input = fixture("icons64.dll").string();
    EXPECT_EQ(runArgs({"-s", "256", input, onDisk.string()}, err), 1);
    EXPECT_EQ(err, "Cannot write to file " + onDisk.string() + ": No space left on device\n");
    EXPECT_EQ(contentOf(heldOnDisk.fd).size(), 0u);
    const fs::path madeOnDisk = disk / "made.png";
    EXPECT_EQ(runArgs({"-s", "256", input, madeOnDisk.string()}, err), 1);
    EXPECT_EQ(err, "Cannot write to file " + madeOnDisk.string() + ": No space left on device\n");
    EXPECT_FALSE(fs::exists(madeOnDisk));
}

TEST(Thumbnailer, AnOutputThatIsNoRegularFileIsRefusedUntouched)
{
    TempDir dir;
    std::string err;
    const std::string input = fixture("multi.ico").string();
    const auto expectRefused = [&](const fs::path& out, const std::string& reason) {
        struct stat before {
        }, after {};
        ASSERT_EQ(::lstat(out.c_str(), &before), 0);
        EXPECT_EQ(runArgs({"-s", "64", input, out.string()}, err), 1) << out;
        EXPECT_EQ(err, "Cannot create file " + out.string() + ": " + reason + "\n");
        ASSERT_EQ(::lstat(out.c_str(), &after), 0);
        EXPECT_EQ(after.st_ino, before.st_ino) << out;
        EXPECT_EQ(after.st_mode, before.st_mode) << out;
        EXPECT_EQ(after.st_rdev, before.st_rdev) << out;
    };
    const fs::path fifo = dir / "fifo.png";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    expectRefused(fifo, "Not a regular file"); // and never opened: that would wait for a reader
    fs::create_directory(dir / "folder.png");
    expectRefused(dir / "folder.png", "Is a directory");
    vextral::test::writeBytes(dir / "victim.txt", {'k', 'e', 'e', 'p'});
    fs::create_symlink("victim.txt", dir / "link.png");
    expectRefused(dir / "link.png", "Not a regular file");
    EXPECT_EQ(vextral::test::readBytes(dir / "victim.txt"), (std::vector<std::uint8_t> {'k', 'e', 'e', 'p'}));
    EXPECT_EQ(namesIn(dir.path()), (std::vector<std::string> {"fifo.png", "folder.png", "link.png", "victim.txt"}));

    // A device node: one of our own in the temporary folder (the numbers of
    // /dev/null), never one of /dev, which a failure would destroy.
    const fs::path device = dir / "device.png";
    if (::mknod(device.c_str(), S_IFCHR | 0600, makedev(1, 3)) != 0) {
        GTEST_SKIP() << "cannot make a device node here: " << std::strerror(errno);
    }
    expectRefused(device, "Not a regular file");
    EXPECT_EQ(runProgram("-s 64 " + input + " " + device.string()), 1);
    struct stat st {};
    ASSERT_EQ(::lstat(device.c_str(), &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode));
    EXPECT_EQ(st.st_rdev, makedev(1, 3));
}

TEST(Thumbnailer, AnIconOfManyEntriesNamingOneBrokenImageIsDrawnWithinTheLimits)
{
    // One good 32 x 32 image and 65,534 entries naming one broken PNG: the
    // PNG is found broken once and the thumbnail drawn from the good image.
    TempDir dir;
    const fs::path script =
        fs::path(VEXTRAL_FIXTURES).parent_path().parent_path() / "tools/fixtures/gen_hostile_icons.py";
    const fs::path ico = dir / "many.ico";
    ASSERT_EQ(vextral::test::runCommand("/usr/bin/python3 " + script.string() + " ico " + ico.string()), 0);
    const std::string out = (dir / "t.png").string();
    EXPECT_EQ(runProgram("-s 256 " + ico.string() + " " + out), 0);
    const th::Rgba picture = readPng(out);
    EXPECT_EQ(picture.width, 256);
    ASSERT_EQ(picture.pixels.size(), 256u * 256u);
    EXPECT_EQ(picture.pixels[128 * 256 + 128], 0xFF2080C0u);
}
