#include "thumbnailer/Thumbnailer.h"

#include "codecs/Writers.h"
#include "core/Error.h"
#include "core/FileDescriptor.h"
#include "core/ReplacingFile.h"
#include "core/SignalCleanup.h"
#include "core/Sink.h"
#include "export/BestImage.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <exception>
#include <new>

namespace vextral::thumbnailer {

namespace {

std::optional<int> parseSize(const std::string& text)
{
    if (text.empty() || text.size() > 5) return std::nullopt;
    int value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + (c - '0');
    }
    if (value < 1 || value > kMaxThumbnailSize) return std::nullopt;
    return value;
}

// The descriptor of an OUTPUT we were given while we write it: emptied
// should the time run out. One we made ourselves is watched by
// CleanupOnSignal instead and removed.
std::atomic<int> givenOutput {-1};

extern "C" void onTimeLimit(int)
{
    const int given = givenOutput.load();
    if (given >= 0) {
        [[maybe_unused]] const int ignored = ::ftruncate(given, 0);
    }
    removeFilesForSignal();
    static const char message[] = "vextral-thumbnailer: time limit reached\n";
    [[maybe_unused]] const ssize_t n = ::write(2, message, sizeof message - 1);
    ::_exit(3);
}

constexpr char kCannotCreate[] = "Cannot create file ";
constexpr char kCannotWrite[] = "Cannot write to file ";

Error failure(const char* what, const std::string& path, const char* reason)
{
    return Error(what + path + ": " + reason);
}

// Empties a given OUTPUT after a failure, through its descriptor while it is
// open, else by its name, if that is a regular file (nothing else is opened).
void emptyGiven(const std::string& path, FileDescriptor& fd)
{
    givenOutput.store(-1);
    struct stat st {};
    if (!fd && ::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
        fd.reset(::open(path.c_str(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    }
    if (fd && ::fstat(fd.get(), &st) == 0 && S_ISREG(st.st_mode)) {
        [[maybe_unused]] const int ignored = ::ftruncate(fd.get(), 0);
    }
}

// Writes all of bytes, or says why not.
int writeAll(int fd, const std::vector<std::uint8_t>& bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return n < 0 ? errno : EIO;
        done += static_cast<std::size_t>(n);
    }
    return 0;
}

} // namespace

void writeOutput(const std::string& path, const std::vector<std::uint8_t>& bytes)
{
    FileDescriptor fd;
    CleanupOnSignal cleanup;
    bool created = false;
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0) {
        // Looked at without opening it: opening a device or a FIFO can have
        // effects of its own, or wait.
        if (S_ISDIR(st.st_mode)) throw failure(kCannotCreate, path, std::strerror(EISDIR));
        if (!S_ISREG(st.st_mode)) throw failure(kCannotCreate, path, kNotARegularFile);
        // Not truncated by the open: what was opened is checked first, should
        // the name have changed hands in between (a link now is ELOOP).
        fd.reset(::open(path.c_str(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
        if (!fd) throw failure(kCannotCreate, path, std::strerror(errno));
        if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) throw failure(kCannotCreate, path, kNotARegularFile);
        givenOutput.store(fd.get());
    } else {
        int error = 0;
        {
            // Made and watched with every signal that ends us held back, so
            // none falls between the two.
            const SignalsHeld held;
            sigset_t limits, before;
            ::sigemptyset(&limits);
            ::sigaddset(&limits, SIGALRM);
            ::sigaddset(&limits, SIGXCPU);
            ::pthread_sigmask(SIG_BLOCK, &limits, &before);
            fd.reset(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC, 0666));
            if (fd) {
                cleanup = CleanupOnSignal(path);
            } else {
                error = errno;
            }
            ::pthread_sigmask(SIG_SETMASK, &before, nullptr);
        }
        if (!fd) throw failure(kCannotCreate, path, std::strerror(error));
        created = true;
    }
    int error = created || ::ftruncate(fd.get(), 0) == 0 ? 0 : errno;
    if (!error) error = writeAll(fd.get(), bytes);
    if (!error) {
        if (!created) givenOutput.store(-1);
        if (::close(fd.release()) != 0) error = errno;
    }
    if (!error) return;
    if (created) {
        fd.reset();
        ::unlink(path.c_str());
    } else {
        emptyGiven(path, fd);
    }
    throw failure(kCannotWrite, path, std::strerror(error));
}

std::optional<Arguments> parseArguments(const std::vector<std::string>& args, std::string& error)
{
    Arguments result;
    std::vector<std::string> names;
    std::optional<std::string> sizeText;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "-s" || a == "--size") {
            if (i + 1 == args.size()) {
                error = "option " + a + " needs a size";
                return std::nullopt;
            }
            sizeText = args[++i];
        } else if (a.rfind("--size=", 0) == 0) {
            sizeText = a.substr(7);
        } else if (a.size() > 2 && a.rfind("-s", 0) == 0) {
            sizeText = a.substr(2);
        } else if (a.size() > 1 && a[0] == '-') {
            error = "unknown option " + a;
            return std::nullopt;
        } else {
            names.push_back(a);
        }
    }
    if (!sizeText) {
        error = "no size given (-s SIZE)";
        return std::nullopt;
    }
    const std::optional<int> size = parseSize(*sizeText);
    if (!size) {
        error = "'" + *sizeText + "' is not a size from 1 to " + std::to_string(kMaxThumbnailSize);
        return std::nullopt;
    }
    if (names.size() != 2) {
        error = "expected INPUT and OUTPUT";
        return std::nullopt;
    }
    result.size = *size;
    result.input = names[0];
    result.output = names[1];
    return result;
}

std::optional<Rgba> renderThumbnail(const std::string& input, int size)
{
    const std::optional<codecs::IconPicture> picture = exporting::renderBestImage(input, 0, size, size);
    if (!picture || picture->width <= 0 || picture->height <= 0) return std::nullopt;
    return Rgba {picture->width, picture->height, picture->argb()};
}

bool applyLimits()
{
    bool ok = true;
    const rlimit memory {kMemoryLimit, kMemoryLimit};
    if (kMemoryLimited) ok = ::setrlimit(RLIMIT_AS, &memory) == 0 && ok;
    // The soft limit raises SIGXCPU, which ends the process quietly; the
    // hard one a second later is the kernel's SIGKILL should that not work.
    const rlimit cpu {kTimeLimitSeconds, kTimeLimitSeconds + 1};
    ok = ::setrlimit(RLIMIT_CPU, &cpu) == 0 && ok;
    struct sigaction action {};
    action.sa_handler = onTimeLimit;
    ok = ::sigaction(SIGXCPU, &action, nullptr) == 0 && ok;
    ok = ::sigaction(SIGALRM, &action, nullptr) == 0 && ok;
    // Reading a file can block where computing cannot: real time is capped too.
    itimerval wall {};
    wall.it_value.tv_sec = kTimeLimitSeconds;
    ok = ::setitimer(ITIMER_REAL, &wall, nullptr) == 0 && ok;
    return ok;
}

int run(const std::vector<std::string>& args, std::string& err)
{
    std::string error;
    const std::optional<Arguments> parsed = parseArguments(args, error);
    if (!parsed) {
        err = error + "\nUsage: vextral-thumbnailer -s SIZE INPUT OUTPUT\n";
        return 2;
    }
    try {
        const std::optional<Rgba> picture = renderThumbnail(parsed->input, parsed->size);
        if (picture) {
            // Made whole in memory first, then written into OUTPUT in one go;
            // writeOutput leaves nothing behind when it fails.
            try {
                MemorySink png(parsed->output);
                codecs::writePngArgb(picture->width, picture->height, picture->pixels, png);
                writeOutput(parsed->output, png.bytes());
                return 0;
            } catch (const Error& e) {
                err = std::string(e.what()) + "\n";
                return 1;
            }
        }
        err = parsed->input + ": no icon to show\n";
    } catch (const std::bad_alloc&) {
        err = parsed->input + ": out of memory\n";
    } catch (const std::exception& e) {
        err = parsed->input + ": " + e.what() + "\n";
    }
    // No picture: an OUTPUT we were given holds none either.
    FileDescriptor none;
    emptyGiven(parsed->output, none);
    return 1;
}

} // namespace vextral::thumbnailer
