#include "codecs/MagickPlugin.h"
#include "codecs/Readers.h"

#include "core/Error.h"
#include "core/FileDescriptor.h"
#include "core/Text.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

// The formats that ImageMagick reads for us, through the plugin
// libvextral-magick.so (src/plugins/magick/), which alone links ImageMagick:
// it is loaded the first time a picture needs it, and a program that reads
// no such picture never loads ImageMagick at all. Without the plugin, or
// without the ImageMagick library behind it, those formats are unavailable
// and every other reader works as ever.
//
// ImageMagick's resources are the process's, bounded by the reader's limits
// before each read. The system's policy (/etc/ImageMagick-6/policy.xml) caps
// them: SetMagickResourceLimit never raises a limit past the policy's value,
// and Debian's policy allows 256 MiB of memory, 512 MiB mapped, 1 GiB on
// disk, 128 megapixels and 16000 pixels a side, so a 6000 x 6000 picture
// (288 MB of cache) would not fit in memory and a 16384-pixel side not at
// all. ImageMagick reads its policy once, when it starts, from every
// policy.xml on its configure path, and of the files that name a resource the
// first decides it. So it starts with a policy of the program's own named
// first on MAGICK_CONFIGURE_PATH: its resources have no cap but what the
// reader sets (the reader checks every picture's size itself), its cache
// files go to a temporary folder that can be written, and the system's other
// rules (the coders and paths it forbids) still hold, since every policy file
// is read.

namespace vextral::codecs {

namespace {

// The policy's value for every resource the reader sets: no cap of its own.
constexpr std::uint64_t kNoCap = std::uint64_t {1} << 60;

bool writableFolder(const char* path)
{
    struct stat st {};
    return path && *path == '/' && ::stat(path, &st) == 0 && S_ISDIR(st.st_mode) && ::access(path, W_OK | X_OK) == 0;
}

// Where ImageMagick puts the cache files of pictures larger than its memory
// limit: $TMPDIR when it is a folder that can be written, else /tmp. (Given
// a TMPDIR that is no folder, ImageMagick would put them in the current
// folder.) They are removed when the picture is.
std::string cacheFolder()
{
    const char* tmp = std::getenv("TMPDIR");
    if (tmp != nullptr && writableFolder(tmp)) return tmp;
    return "/tmp";
}

std::string policyText(const std::string& temporaryFolder)
{
    std::string text = "<policymap>\n";
    for (const char* name : {"memory", "map", "disk", "area", "width", "height", "list-length"}) {
        text += "  <policy domain=\"resource\" name=\"" + std::string(name) + "\" value=\"" + std::to_string(kNoCap) +
                "\"/>\n";
    }
    text +=
        "  <policy domain=\"resource\" name=\"temporary-path\" value=\"" + markupEscaped(temporaryFolder) + "\"/>\n";
    return text + "</policymap>\n";
}

// Starts ImageMagick with the program's policy first on its configure path;
// the environment is the caller's again once it has started. Should the
// policy not be written, ImageMagick starts with the system's alone.
bool startWithOwnPolicy(const MagickPlugin& plugin, std::string& problem)
{
    char message[512] = {};
    const std::string temporary = cacheFolder();
    // A colon would split the configure path.
    std::string folder = (temporary.find(':') == std::string::npos ? temporary : "/tmp") + "/vextral-magick-XXXXXX";
    if (::mkdtemp(folder.data()) == nullptr) {
        const bool started = plugin.start(message, sizeof message);
        problem = message;
        return started;
    }
    const std::string policy = folder + "/policy.xml";
    bool written = false;
    if (std::FILE* out = std::fopen(policy.c_str(), "w")) {
        const std::string text = policyText(temporary);
        written = std::fwrite(text.data(), 1, text.size(), out) == text.size();
        written = std::fclose(out) == 0 && written;
    }
    const char* oldPath = std::getenv("MAGICK_CONFIGURE_PATH");
    const std::optional<std::string> old = oldPath ? std::optional<std::string>(oldPath) : std::nullopt;
    if (written) {
        const std::string path = old && !old->empty() ? folder + ":" + *old : folder;
        ::setenv("MAGICK_CONFIGURE_PATH", path.c_str(), 1);
    }
    const bool started = plugin.start(message, sizeof message);
    if (written) {
        if (old) {
            ::setenv("MAGICK_CONFIGURE_PATH", old->c_str(), 1);
        } else {
            ::unsetenv("MAGICK_CONFIGURE_PATH");
        }
    }
    std::remove(policy.c_str());
    ::rmdir(folder.c_str());
    problem = message;
    return started;
}

// The plugin, loaded and started once for the process (the first caller
// does it; the others wait for it).
struct Magick {
    const MagickPlugin* plugin = nullptr;
    MagickAvailability availability;
};

const Magick& loadedMagick()
{
    static const Magick loaded = [] {
        Magick m;
        Plugin<MagickPlugin> found =
            loadPluginTable<MagickPlugin>(kMagickPluginFile, kMagickPluginEntry, kMagickPluginVersion);
        if (!found.table) {
            m.availability.problem = std::move(found.problem);
            return m;
        }
        std::string problem;
        if (!startWithOwnPolicy(*found.table, problem)) {
            m.availability.problem = "ImageMagick did not start" + (problem.empty() ? "" : ": " + problem);
            return m;
        }
        m.plugin = found.table;
        m.availability.available = true;
        return m;
    }();
    return loaded;
}

// ---- the read in a child process
//
// A picture may cost ImageMagick far more time than its size suggests (a
// metafile of a thousand rectangles each covering a large canvas draws for
// minutes), and the libraries behind it print on standard output and standard
// error (libwmf its debug lines and "ERROR:" lines). ImageMagick cannot be
// stopped in the middle of a read, and its own time limit ends the process.
// So each read runs in a child process of its own: its output goes to
// /dev/null, ImageMagick's time limit and a watchdog here bound it, and the
// child sends back the picture or the reason it failed. The caller's output,
// signals and memory are never touched, whatever the picture does.

// What the child sends first, then the reason (text) or the pixels.
struct ChildReport {
    enum Kind : std::uint32_t { Done, Damaged, Refused, TimeLimit, NoMemory } kind = Done;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::uint64_t length = 0; // bytes after the report
};

bool writeAll(int fd, const void* data, std::size_t size)
{
    const auto* p = static_cast<const std::uint8_t*>(data);
    while (size > 0) {
        const ssize_t n = ::write(fd, p, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

[[noreturn]] void reportAndExit(int fd, ChildReport::Kind kind, const std::string& text)
{
    ChildReport report;
    report.kind = kind;
    report.length = text.size();
    const bool sent = writeAll(fd, &report, sizeof report) && writeAll(fd, text.data(), text.size());
    ::_exit(sent ? 0 : 1);
}

// The child's side of the plugin's read: where the pixels go and where a
// fatal error is reported.
struct ChildRead {
    int fd = -1;
    Picture picture;

    static std::uint8_t* pixels(void* context, std::uint32_t width, std::uint32_t height)
    {
        auto* self = static_cast<ChildRead*>(context);
        try {
            self->picture = Picture::make(static_cast<int>(width), static_cast<int>(height));
            return self->picture.pixels.data();
        } catch (...) {
            return nullptr;
        }
    }

    // ImageMagick ends the process after a fatal error (its time limit is
    // one): the child reports it and ends.
    [[noreturn]] static void fatal(void* context, bool timeLimit, const char* reason)
    {
        reportAndExit(static_cast<ChildRead*>(context)->fd, timeLimit ? ChildReport::TimeLimit : ChildReport::Damaged,
                      reason ? reason : "");
    }
};

// Sends what a read that failed tells the user, and ends the child.
[[noreturn]] void reportOutcome(int fd, const MagickRead& read, const ReaderLimits& limits)
{
    const std::string reason = read.reason;
    switch (read.outcome) {
    case MagickOutcome::Done:
    case MagickOutcome::Damaged: break;
    case MagickOutcome::TooLarge:
        reportAndExit(fd, ChildReport::Refused,
                      pictureSizeError(static_cast<long long>(read.width), static_cast<long long>(read.height),
                                       limits.pictureSide));
    case MagickOutcome::SideLimit:
        reportAndExit(fd, ChildReport::Refused,
                      "The picture is too large: each side can be at most " + std::to_string(limits.pictureSide) +
                          " pixels");
    case MagickOutcome::ImageLimit:
        reportAndExit(fd, ChildReport::Refused,
                      "The picture file is too large: it holds more than " + std::to_string(limits.magickImages) +
                          " images");
    case MagickOutcome::CacheLimit: {
        // The size, once the header told it: " of W x H pixels".
        const std::string size =
            read.sizeKnown ? " of " + std::to_string(read.width) + " x " + std::to_string(read.height) + " pixels" : "";
        reportAndExit(fd, ChildReport::Refused, "Not enough memory to read the picture" + size + " (" + reason + ")");
    }
    case MagickOutcome::NoMemory: reportAndExit(fd, ChildReport::NoMemory, "");
    }
    reportAndExit(fd, ChildReport::Damaged, reason);
}

[[noreturn]] void runChild(const MagickPlugin& plugin, int fd, FileBytes bytes, const char* magick, bool firstFrameOnly,
                           const ReaderLimits& limits, bool sizeChecked, const std::string& cacheFiles)
{
    for (const int sig : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) std::signal(sig, SIG_DFL);
    const int null = ::open("/dev/null", O_RDWR | O_CLOEXEC);
    if (null >= 0) {
        ::dup2(null, STDIN_FILENO);
        ::dup2(null, STDOUT_FILENO);
        ::dup2(null, STDERR_FILENO);
    }
    ChildRead child;
    child.fd = fd;
    MagickRead read;
    read.size = bytes.size;
    read.bytes = bytes.data.release();
    read.magick = magick;
    read.firstFrameOnly = firstFrameOnly;
    read.sizeChecked = sizeChecked;
    read.pictureSide = static_cast<std::uint64_t>(limits.pictureSide);
    read.memoryBytes = limits.magickMemoryBytes;
    read.diskBytes = limits.magickDiskBytes;
    read.images = limits.magickImages;
    read.seconds = static_cast<std::uint64_t>(limits.magickSeconds);
    // Cache files in a folder of this read alone, which the parent empties
    // whatever becomes of the child.
    read.cacheFolder = cacheFiles.c_str();
    read.context = &child;
    read.pixels = &ChildRead::pixels;
    read.fatal = &ChildRead::fatal;
    plugin.read(&read);
    if (read.outcome != MagickOutcome::Done) reportOutcome(fd, read, limits);
    const Picture& picture = child.picture;
    ChildReport report;
    report.width = static_cast<std::uint32_t>(picture.width);
    report.height = static_cast<std::uint32_t>(picture.height);
    report.length = picture.pixels.size();
    const bool sent =
        writeAll(fd, &report, sizeof report) && writeAll(fd, picture.pixels.data(), picture.pixels.size());
    ::_exit(sent ? 0 : 1);
}

// Reads exactly size bytes from fd by the deadline; false when the pipe
// ends first or the time runs out (timedOut says which).
bool readAllBy(int fd, void* data, std::size_t size, std::chrono::steady_clock::time_point deadline, bool& timedOut)
{
    auto* p = static_cast<std::uint8_t*>(data);
    while (size > 0) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            timedOut = true;
            return false;
        }
        pollfd waiting {fd, POLLIN, 0};
        const int ready = ::poll(&waiting, 1, static_cast<int>(std::min<long long>(left.count(), 1000)));
        if (ready < 0 && errno != EINTR) return false;
        if (ready <= 0) continue;
        const ssize_t n = ::read(fd, p, size);
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        if (n <= 0) return false;
        p += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

// Empties and removes the child's cache folder (a child that was stopped
// leaves its cache files behind).
void removeFolder(const std::string& folder)
{
    if (folder.empty()) return;
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
}

} // namespace

const MagickAvailability& magickAvailability() { return loadedMagick().availability; }

bool magickReads(const char* format)
{
    const Magick& m = loadedMagick();
    return m.plugin && m.plugin->reads(format);
}

Picture readMagickPicture(FileBytes bytes, const char* magick, bool firstFrameOnly, const ReaderLimits& limits,
                          bool sizeChecked)
{
    const Magick& m = loadedMagick();
    if (!m.plugin)
        throw Error("ImageMagick is not available" +
                    (m.availability.problem.empty() ? "" : ": " + m.availability.problem));
    const std::string tooLong =
        "The picture takes too long to read: more than " + std::to_string(limits.magickSeconds) + " seconds";
    std::string cacheFiles = cacheFolder() + "/vextral-read-XXXXXX";
    if (::mkdtemp(cacheFiles.data()) == nullptr) cacheFiles.clear();
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) {
        removeFolder(cacheFiles);
        throw Error(std::string("Cannot read the picture: ") + std::strerror(errno));
    }
    FileDescriptor in(ends[0]), out(ends[1]);
    const pid_t child = ::fork();
    if (child == 0) {
        in.release();
        runChild(*m.plugin, out.get(), std::move(bytes), magick, firstFrameOnly, limits, sizeChecked, cacheFiles);
    }
    out.reset();
    bytes.data.reset();
    if (child < 0) {
        const int error = errno;
        removeFolder(cacheFiles);
        throw Error(std::string("Cannot read the picture: ") + std::strerror(error));
    }
    // ImageMagick's own limit counts whole seconds from the first pixel it
    // caches; the watchdog gives it one more and then stops the child.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(limits.magickSeconds + 1);
    bool timedOut = false;
    ChildReport report;
    std::string reason;
    Picture picture;
    bool complete = readAllBy(in.get(), &report, sizeof report, deadline, timedOut);
    if (complete && report.kind == ChildReport::Done) {
        const bool sane = report.width > 0 && report.height > 0 &&
                          report.width <= static_cast<std::uint32_t>(limits.pictureSide) &&
                          report.height <= static_cast<std::uint32_t>(limits.pictureSide) &&
                          report.length == 3ULL * report.width * report.height;
        if (sane) {
            picture = Picture::make(static_cast<int>(report.width), static_cast<int>(report.height));
            complete = picture.pixels.size() == report.length &&
                       readAllBy(in.get(), picture.pixels.data(), picture.pixels.size(), deadline, timedOut);
        } else {
            complete = false;
        }
    } else if (complete) {
        complete = report.length <= 4096;
        if (complete) {
            reason.resize(report.length);
            complete = readAllBy(in.get(), reason.data(), reason.size(), deadline, timedOut);
        }
    }
    if (!complete) ::kill(child, SIGKILL);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {}
    in.reset();
    removeFolder(cacheFiles);
    if (timedOut) throw Error(tooLong);
    if (!complete) throw DamagedPicture("the reader stopped on it");
    switch (report.kind) {
    case ChildReport::Done: return picture;
    case ChildReport::Damaged: throw DamagedPicture(reason);
    case ChildReport::Refused: throw Error(reason);
    case ChildReport::TimeLimit: throw Error(tooLong);
    case ChildReport::NoMemory: throw std::bad_alloc();
    }
    throw DamagedPicture(reason);
}

} // namespace vextral::codecs
