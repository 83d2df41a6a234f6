// The thumbnailer as Xfce's thumbnail service runs it: a private session bus
// and tumblerd of our own, told about vextral.thumbnailer and asked over
// D-Bus for the thumbnail of a program, which must land in its cache.
#include "TestSupport.h"
#include "support/Wait.h"

#include <gtest/gtest.h>
#include <png.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

extern char** environ;

using vextral::test::fixture;
using vextral::test::TempDir;
namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

constexpr char kTumblerd[] = "/usr/lib/x86_64-linux-gnu/tumbler-1/tumblerd";
constexpr char kService[] = "org.freedesktop.thumbnails.Thumbnailer1";

// This process's environment with some variables replaced.
std::vector<std::string> environmentWith(const std::map<std::string, std::string>& changes)
{
    std::vector<std::string> result;
    for (char** e = environ; *e; ++e) {
        const std::string entry = *e;
        if (changes.count(entry.substr(0, entry.find('='))) == 0) result.push_back(entry);
    }
    for (const auto& [name, value] : changes) result.push_back(name + "=" + value);
    return result;
}

// A program started with that environment, standard output to outFd (or
// /dev/null when -1); ended with SIGTERM and waited for when it goes.
class Process {
public:
    Process(const std::vector<std::string>& args, const std::vector<std::string>& env, int outFd = -1)
    {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        if (outFd >= 0) {
            posix_spawn_file_actions_adddup2(&actions, outFd, 1);
        } else {
            posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        }
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        std::vector<char*> argv, envp;
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        for (const std::string& e : env) envp.push_back(const_cast<char*>(e.c_str()));
        envp.push_back(nullptr);
        if (::posix_spawnp(&pid_, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
    }
    ~Process() { stop(); }
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;
    bool started() const { return pid_ > 0; }
    // Its exit status once it ends by itself (-1 if it did not start).
    int wait()
    {
        if (pid_ <= 0) return -1;
        int status = 0;
        ::waitpid(pid_, &status, 0);
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    void stop()
    {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGTERM);
        ::waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }

private:
    pid_t pid_ = -1;
};

// Runs a program to its end; its status and standard output.
int runToEnd(const std::vector<std::string>& args, const std::vector<std::string>& env, std::string* output)
{
    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0) return -1;
    Process p(args, env, out[1]);
    ::close(out[1]);
    std::string text;
    char buffer[4096];
    ssize_t n;
    while ((n = ::read(out[0], buffer, sizeof buffer)) > 0) text.append(buffer, static_cast<std::size_t>(n));
    ::close(out[0]);
    if (output) *output = text;
    return p.wait();
}

// Width and height of a PNG file, decoded with libpng; 0 x 0 if it is none.
std::pair<int, int> pngSize(const fs::path& path)
{
    png_image image {};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return {0, 0};
    image.format = PNG_FORMAT_RGBA;
    std::vector<std::uint8_t> pixels(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) return {0, 0};
    return {static_cast<int>(image.width), static_cast<int>(image.height)};
}

} // namespace

TEST(Tumbler, ThumbnailsAProgramThroughTheRealThumbnailService)
{
    if (!fs::exists(kTumblerd)) GTEST_SKIP() << kTumblerd << " is not installed (Debian package tumbler)";
    TempDir root;
    // Our thumbnailer entry, run from the build, as the only one tumbler
    // finds; the MIME database it needs to read the picture back comes from
    // the system.
    fs::create_directories(root / "data/thumbnailers");
    fs::create_directories(root / "home");
    fs::create_directories(root / "config");
    fs::create_symlink("/usr/share/mime", root / "data/mime");
    {
        std::ifstream in(fs::path(VEXTRAL_FIXTURES).parent_path().parent_path() / "dist/vextral.thumbnailer");
        ASSERT_TRUE(in);
        std::ofstream out(root / "data/thumbnailers/vextral.thumbnailer");
        for (std::string line; std::getline(in, line);) {
            if (line.rfind("TryExec=", 0) == 0) line = std::string("TryExec=") + VEXTRAL_THUMBNAILER;
            if (line.rfind("Exec=vextral-thumbnailer ", 0) == 0) {
                line = std::string("Exec=") + VEXTRAL_THUMBNAILER +
                       line.substr(std::string("Exec=vextral-thumbnailer").size());
            }
            out << line << "\n";
        }
    }
    const fs::path program = root / "program.dll";
    fs::copy_file(fixture("icons64.dll"), program);

    // A private session bus; it says its address once it listens.
    const std::string bus = "unix:path=" + (root / "bus").string();
    int ready[2];
    ASSERT_EQ(::pipe2(ready, O_CLOEXEC), 0);
    Process dbus({"dbus-daemon", "--session", "--nofork", "--nopidfile", "--address=" + bus, "--print-address=1"},
                 environmentWith({}), ready[1]);
    ::close(ready[1]);
    ASSERT_TRUE(dbus.started());
    pollfd p {ready[0], POLLIN, 0};
    char c = 0;
    const bool listening = ::poll(&p, 1, 5000) == 1 && ::read(ready[0], &c, 1) == 1;
    ::close(ready[0]);
    ASSERT_TRUE(listening) << "dbus-daemon did not start";

    const std::vector<std::string> env = environmentWith({{"DBUS_SESSION_BUS_ADDRESS", bus},
                                                          {"HOME", (root / "home").string()},
                                                          {"XDG_CACHE_HOME", (root / "cache").string()},
                                                          {"XDG_DATA_HOME", (root / "home/.local/share").string()},
                                                          {"XDG_DATA_DIRS", (root / "data").string()},
                                                          {"XDG_CONFIG_HOME", (root / "config").string()},
                                                          {"XDG_CONFIG_DIRS", (root / "config").string()}});
    Process tumblerd({kTumblerd}, env);
    ASSERT_TRUE(tumblerd.started());
    ASSERT_EQ(runToEnd({"gdbus", "wait", "--session", "--timeout", "10", kService}, env, nullptr), 0)
        << "tumblerd did not take its bus name";

    const std::string uri = "file://" + program.string();
    std::string reply;
    ASSERT_EQ(runToEnd({"gdbus", "call", "--session", "--dest", kService, "--object-path",
                        "/org/freedesktop/thumbnails/Thumbnailer1", "--method", std::string(kService) + ".Queue",
                        "['" + uri + "']", "['application/x-msdownload']", "normal", "default", "0"},
                       env, &reply),
              0);
    EXPECT_EQ(reply.rfind("(uint32 ", 0), 0u) << reply;

    std::string md5;
    ASSERT_EQ(vextral::test::runCommand("printf %s " + vextral::test::shellQuote(uri) + " | md5sum", &md5), 0);
    const fs::path thumbnail = root / "cache/thumbnails/normal" / (md5.substr(0, 32) + ".png");
    // Written by tumbler from what it read back through its own descriptor.
    EXPECT_TRUE(vextral::test::waitFor([&] { return pngSize(thumbnail) == std::make_pair(128, 128); }, 10s))
        << thumbnail << " did not appear as a 128 x 128 picture";
    tumblerd.stop();
    dbus.stop();
}
