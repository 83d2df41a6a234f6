#include "core/ReplacingFile.h"

#include "TestSupport.h"
#include "codecs/ImageBuffer.h"
#include "codecs/OutputFormats.h"
#include "core/Error.h"
#include "core/Sink.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <functional>

using namespace vextral;
using namespace vextral::codecs;
namespace fs = std::filesystem;

namespace {

std::vector<std::string> namesIn(const fs::path& folder)
{
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

ImageBuffer pictureOf(int w, int h)
{
    ImageBuffer buffer;
    buffer.picture() = Picture::make(w, h);
    // Noise, so that compressed formats stay large.
    std::uint32_t x = 12345;
    for (auto& b : buffer.picture().pixels) {
        x = x * 1103515245 + 12345;
        b = static_cast<std::uint8_t>(x >> 16);
    }
    return buffer;
}

std::string messageOf(const std::function<void()>& act)
{
    try {
        act();
    } catch (const Error& e) {
        return std::string(e.what());
    }
    return std::string("no error");
}

int temporaryFilesIn(const fs::path& folder)
{
    int n = 0;
    for (const auto& e : fs::directory_iterator(folder)) n += e.path().filename().string().rfind(".vextral-", 0) == 0;
    return n;
}

// What a name holds, as lstat sees it: type, inode and device number.
struct Node {
    mode_t type = 0;
    ino_t inode = 0;
    dev_t rdev = 0;
    bool operator==(const Node&) const = default;
};

Node nodeAt(const fs::path& path)
{
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) return {};
    return {st.st_mode & S_IFMT, st.st_ino, st.st_rdev};
}

// Every way of writing a file refuses path untouched, with the message
// "Cannot create file <path>: <reason>", and leaves no temporary file.
void expectRefused(const fs::path& path, const std::string& reason)
{
    const Node before = nodeAt(path);
    const std::string message = "Cannot create file " + path.string() + ": " + reason;
    EXPECT_EQ(messageOf([&] { writeFileAtomically(path.string(), "text"); }), message);
    EXPECT_EQ(messageOf([&] {
                  ReplacingFile file(path.string());
                  file.open();
              }),
              message);
    EXPECT_EQ(messageOf([&] {
                  FileSink sink(path.string());
                  sink.write("x", 1);
              }),
              message);
    ImageBuffer buffer = pictureOf(4, 4);
    EXPECT_EQ(messageOf([&] { buffer.saveToFile(path.string()); }), message);
    EXPECT_EQ(nodeAt(path), before) << path;
    EXPECT_EQ(temporaryFilesIn(path.parent_path()), 0) << path;
}

// A Unix socket bound at path; closed (the name stays) when it goes.
struct BoundSocket {
    explicit BoundSocket(const fs::path& path) : fd(::socket(AF_UNIX, SOCK_STREAM, 0))
    {
        sockaddr_un address {};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
        bound = fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    }
    ~BoundSocket()
    {
        if (fd >= 0) ::close(fd);
    }
    int fd;
    bool bound = false;
};

} // namespace

TEST(ReplacingFile, TheTargetChangesOnlyWhenTheNewFileIsComplete)
{
    test::TempDir dir;
    const fs::path target = dir / "a.txt";
    test::writeBytes(target, {'o', 'l', 'd'});
    ::chmod(target.c_str(), 0640);
    {
        ReplacingFile file(target.string());
        file.open();
        file.write("new", 3);
        // Abandoned before commit: the old file stays and no temporary file is left.
    }
    EXPECT_EQ(test::readBytes(target), (std::vector<std::uint8_t> {'o', 'l', 'd'}));
    EXPECT_EQ(namesIn(dir.path()), std::vector<std::string> {"a.txt"});
    {
        ReplacingFile file(target.string());
        file.open();
        file.write("new!", 4);
        file.commit();
    }
    EXPECT_EQ(test::readBytes(target), (std::vector<std::uint8_t> {'n', 'e', 'w', '!'}));
    struct stat st {};
    ASSERT_EQ(::stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u); // the replaced file's mode is kept
    EXPECT_EQ(namesIn(dir.path()), std::vector<std::string> {"a.txt"});

    // A folder in the way, or a missing folder: an error, nothing left behind.
    fs::create_directory(dir / "sub");
    ReplacingFile onFolder((dir / "sub").string());
    EXPECT_THROW(onFolder.open(), Error);
    EXPECT_FALSE(onFolder.isOpen());
    EXPECT_EQ(namesIn(dir.path()), (std::vector<std::string> {"a.txt", "sub"}));
    ReplacingFile lost((dir / "no/such.txt").string());
    EXPECT_THROW(lost.open(), Error);
}

TEST(ReplacingFile, WritersReplaceAPlantedLinkInsteadOfWritingThroughIt)
{
    test::TempDir dir;
    fs::create_directory(dir / "out");
    const fs::path victim = dir / "victim.txt";
    test::writeBytes(victim, {'k', 'e', 'e', 'p'});
    fs::create_symlink("../victim.txt", dir / "out/Icon1.png");
    ImageBuffer buffer = pictureOf(4, 4);
    buffer.saveToFile((dir / "out/Icon1.png").string());
    EXPECT_EQ(test::readBytes(victim), (std::vector<std::uint8_t> {'k', 'e', 'e', 'p'}));
    EXPECT_FALSE(fs::is_symlink(dir / "out/Icon1.png"));
    const auto png = test::readBytes(dir / "out/Icon1.png");
    ASSERT_GE(png.size(), 8u);
    EXPECT_EQ(png[1], 'P');
}

TEST(ReplacingFile, AFullDiskLeavesTheOlderFileOfEveryFormatIntact)
{
    test::SmallDisk disk(256 * 1024);
    if (!disk.mounted()) GTEST_SKIP() << disk.error();
    // A good small file of each format, then a rewrite that cannot fit.
    for (const OutputFormatRow& row : outputFormats()) {
        if (row.writes != Writes::Picture) continue;
        const std::string file = (disk / (std::string("x.") + row.extension)).string();
        ImageBuffer small = pictureOf(8, 8);
        small.saveToFile(file);
        const auto good = test::readBytes(file);
        ImageBuffer big = pictureOf(1000, 1000); // 3 MB of noise: no format squeezes it below 256 KiB
        try {
            big.saveToFile(file);
            ADD_FAILURE() << row.name << ": a file larger than the disk was written";
        } catch (const Error& e) {
            EXPECT_NE(std::string(e.what()).find("No space left on device"), std::string::npos) << e.what();
        }
        EXPECT_EQ(test::readBytes(file), good) << row.name;
    }
    // Only the good files remain: no temporary or truncated file.
    EXPECT_EQ(namesIn(disk.path()).size(), 10u);
}

TEST(ReplacingFile, FailuresSayWhatFailedWithTheSystemsReason)
{
    test::TempDir dir;
    const std::string lost = (dir / "no/such.txt").string();
    EXPECT_EQ(messageOf([&] { writeFileAtomically(lost, "text"); }),
              "Cannot create file " + lost + ": No such file or directory");
    fs::create_directory(dir / "sub");
    const std::string folder = (dir / "sub").string();
    EXPECT_EQ(messageOf([&] { writeFileAtomically(folder, "text"); }),
              "Cannot create file " + folder + ": Is a directory");
    EXPECT_EQ(namesIn(dir.path()), std::vector<std::string> {"sub"});
    // Written whole, in one go, text or bytes.
    writeFileAtomically((dir / "a.txt").string(), std::string("line\r\n"));
    EXPECT_EQ(test::readBytes(dir / "a.txt"), (std::vector<std::uint8_t> {'l', 'i', 'n', 'e', '\r', '\n'}));
    writeFileAtomically((dir / "a.txt").string(), std::vector<std::uint8_t> {0, 1, 2}, true);
    EXPECT_EQ(test::readBytes(dir / "a.txt"), (std::vector<std::uint8_t> {0, 1, 2}));
    // Used after it failed, or committed twice: an error, never a stray file.
    ReplacingFile twice((dir / "b.txt").string());
    twice.open();
    twice.commit();
    EXPECT_EQ(messageOf([&] { twice.commit(); }),
              "Cannot write to file " + (dir / "b.txt").string() + ": Bad file descriptor");

    test::SmallDisk disk(64 * 1024);
    if (!disk.mounted()) GTEST_SKIP() << disk.error();
    const std::string full = (disk / "full.bin").string();
    writeFileAtomically(full, "old");
    EXPECT_EQ(messageOf([&] { writeFileAtomically(full, std::string(1 << 20, 'x')); }),
              "Cannot write to file " + full + ": No space left on device");
    EXPECT_EQ(test::readBytes(full), (std::vector<std::uint8_t> {'o', 'l', 'd'}));
    EXPECT_EQ(namesIn(disk.path()).size(), 1u);
}

TEST(ReplacingFile, OnlyARegularFileIsReplacedNeverAFifoASocketOrAFolder)
{
    test::TempDir dir;
    const fs::path fifo = dir / "pipe.png";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    expectRefused(fifo, "Not a regular file");
    const fs::path socketName = dir / "socket.png";
    const BoundSocket socket(socketName);
    ASSERT_TRUE(socket.bound) << std::strerror(errno);
    expectRefused(socketName, "Not a regular file");
    fs::create_directory(dir / "folder.png");
    expectRefused(dir / "folder.png", "Is a directory");
    EXPECT_EQ(namesIn(dir.path()), (std::vector<std::string> {"folder.png", "pipe.png", "socket.png"}));

    // Looked at again before the rename: a FIFO that took the name while the
    // file was written is not replaced either, and the temporary file goes.
    const fs::path late = dir / "late.png";
    ReplacingFile file(late.string());
    file.open();
    file.write("new", 3);
    EXPECT_EQ(temporaryFilesIn(dir.path()), 1);
    ASSERT_EQ(::mkfifo(late.c_str(), 0600), 0);
    EXPECT_EQ(messageOf([&] { file.commit(); }), "Cannot create file " + late.string() + ": Not a regular file");
    EXPECT_EQ(nodeAt(late).type, static_cast<mode_t>(S_IFIFO));
    EXPECT_EQ(temporaryFilesIn(dir.path()), 0);
}

TEST(ReplacingFile, ADeviceNodeIsNeverReplaced)
{
    // A node of our own in a temporary folder, never one of /dev: should the
    // refusal fail, only this copy would be lost. It has the numbers of
    // /dev/null, so nothing written through it would matter either.
    test::TempDir dir;
    const fs::path device = dir / "device.png";
    if (::mknod(device.c_str(), S_IFCHR | 0600, makedev(1, 3)) != 0) {
        GTEST_SKIP() << "cannot make a device node here: " << std::strerror(errno);
    }
    expectRefused(device, "Not a regular file");
    EXPECT_EQ(nodeAt(device).type, static_cast<mode_t>(S_IFCHR));
    EXPECT_EQ(nodeAt(device).rdev, makedev(1, 3));
    EXPECT_EQ(namesIn(dir.path()), std::vector<std::string> {"device.png"});
}

namespace {

// The child program holding threads x files temporary files open in folder;
// ready() waits for it to say they all exist.
class SignalChild {
public:
    SignalChild(const fs::path& folder, const std::string& how, int threads, int files)
    {
        int in[2], out[2];
        if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0) return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, in[0], 0);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        std::string t = std::to_string(threads), f = std::to_string(files);
        std::vector<char*> argv {const_cast<char*>(VEXTRAL_SIGNAL_CHILD),
                                 const_cast<char*>(folder.c_str()),
                                 const_cast<char*>(how.c_str()),
                                 t.data(),
                                 f.data(),
                                 nullptr};
        if (::posix_spawn(&pid_, VEXTRAL_SIGNAL_CHILD, &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        ::close(in[0]);
        ::close(out[1]);
        toChild_ = in[1];
        fromChild_ = out[0];
    }
    ~SignalChild()
    {
        if (toChild_ >= 0) ::close(toChild_);
        if (fromChild_ >= 0) ::close(fromChild_);
        if (pid_ > 0 && status_ < 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    bool ready()
    {
        pollfd p {fromChild_, POLLIN, 0};
        char c = 0;
        return pid_ > 0 && ::poll(&p, 1, 5000) == 1 && ::read(fromChild_, &c, 1) == 1 && c == 'r';
    }
    void signal(int number) { ::kill(pid_, number); }
    // Lets it commit its files and end.
    void finish()
    {
        ::close(toChild_);
        toChild_ = -1;
    }
    int status()
    {
        if (status_ < 0) ::waitpid(pid_, &status_, 0);
        return status_;
    }

private:
    pid_t pid_ = -1;
    int toChild_ = -1;
    int fromChild_ = -1;
    int status_ = -1;
};

} // namespace

TEST(ReplacingFile, ASignalThatEndsTheProcessTakesItsTemporaryFilesAlong)
{
    for (int number : {SIGINT, SIGTERM, SIGHUP}) {
        test::TempDir dir;
        // Four threads, four files each, made at the same time.
        SignalChild child(dir.path(), "default", 4, 4);
        ASSERT_TRUE(child.ready()) << strsignal(number);
        EXPECT_EQ(temporaryFilesIn(dir.path()), 16);
        child.signal(number);
        const int status = child.status();
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == number) << strsignal(number) << ": " << status;
        EXPECT_EQ(namesIn(dir.path()), std::vector<std::string> {}) << strsignal(number);
    }
}

TEST(ReplacingFile, AnIgnoredSignalOrAHandlerOfTheProgramsOwnIsLeftAlone)
{
    {
        // Ignored before: still ignored, and the files are written as usual.
        test::TempDir dir;
        SignalChild child(dir.path(), "ignore-hup", 2, 2);
        ASSERT_TRUE(child.ready());
        child.signal(SIGHUP);
        child.finish();
        const int status = child.status();
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
        EXPECT_EQ(namesIn(dir.path()), (std::vector<std::string> {"t0-0.txt", "t0-1.txt", "t1-0.txt", "t1-1.txt"}));
    }
    {
        // The program's own handler runs, not ours (it leaves the files).
        test::TempDir dir;
        SignalChild child(dir.path(), "own-int", 1, 2);
        ASSERT_TRUE(child.ready());
        child.signal(SIGINT);
        const int status = child.status();
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 42) << status;
        EXPECT_EQ(temporaryFilesIn(dir.path()), 2);
    }
}
