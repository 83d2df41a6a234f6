#include "codecs/Readers.h"

#include "core/Error.h"
#include "core/FileDescriptor.h"
#include "core/Text.h"

#include <Magick++.h>

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

// The formats that ImageMagick reads for us. It is always told the format and
// given the file's bytes (never the name, whose characters it would
// interpret), so it neither guesses from the content nor runs a delegate
// program.
//
// Its resources are the process's, bounded by the reader's limits before
// each read. The system's policy (/etc/ImageMagick-6/policy.xml) caps them:
// SetMagickResourceLimit never raises a limit past the policy's value, and
// Debian's policy allows 256 MiB of memory, 512 MiB mapped, 1 GiB on disk,
// 128 megapixels and 16000 pixels a side, so a 6000 x 6000 picture (288 MB
// of cache) would not fit in memory and a 16384-pixel side not at all.
// ImageMagick reads its policy once, when it starts, from every policy.xml
// on its configure path, and of the files that name a resource the first
// decides it. So it starts with a policy of the program's own named first on
// MAGICK_CONFIGURE_PATH: its resources have no cap but what the reader sets
// (the reader checks every picture's size itself), its cache files go to a
// temporary folder that can be written, and the system's other rules (the
// coders and paths it forbids) still hold, since every policy file is read.

namespace vextral::codecs {

namespace {

static_assert(sizeof(MagickCore::PixelPacket) + sizeof(MagickCore::IndexPacket) <= kMagickPixelBytes,
              "ReaderLimits::magickDiskBytes counts kMagickPixelBytes a pixel");

// Rows exported at a time for pictures with alpha.
constexpr std::size_t kStripRows = 64;
// Metafiles are drawn at the size they have on a screen of 96 dots per inch.
constexpr double kScreenDpi = 96;
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
    return writableFolder(tmp) ? std::string(tmp) : std::string("/tmp");
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
void startWithOwnPolicy()
{
    const std::string temporary = cacheFolder();
    // A colon would split the configure path.
    std::string folder = (temporary.find(':') == std::string::npos ? temporary : "/tmp") + "/vextral-magick-XXXXXX";
    if (::mkdtemp(folder.data()) == nullptr) {
        Magick::InitializeMagick(nullptr);
        return;
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
    Magick::InitializeMagick(nullptr);
    if (written) {
        if (old) {
            ::setenv("MAGICK_CONFIGURE_PATH", old->c_str(), 1);
        } else {
            ::unsetenv("MAGICK_CONFIGURE_PATH");
        }
    }
    std::remove(policy.c_str());
    ::rmdir(folder.c_str());
}

void startMagick()
{
    static const bool started = [] {
        startWithOwnPolicy();
        return true;
    }();
    (void)started;
}

// ImageMagick's resource limits are the process's: they are set from the
// reader's limits before each step (a test may lower them, and the next read
// with the defaults puts them back). While the header is read (a ping, which
// decodes no pixel) the sides are not bounded, so that the reader's own size
// check gives its text; the pixels are read with sides of pictureSide at
// most.
void applyLimits(const ReaderLimits& limits, bool ping)
{
    using Limits = Magick::ResourceLimits;
    const auto side = static_cast<MagickCore::MagickSizeType>(limits.pictureSide);
    Limits::width(ping ? kNoCap : side);
    Limits::height(ping ? kNoCap : side);
    Limits::area(side * side);
    Limits::memory(limits.magickMemoryBytes);
    Limits::map(limits.magickDiskBytes);
    Limits::disk(limits.magickDiskBytes);
    Limits::listLength(limits.magickImages);
}

// ImageMagick's reason without the program name before it and the file name
// and source position after it: "improper image header".
std::string reasonOf(const Magick::Exception& e)
{
    std::string text = e.what();
    if (const std::size_t colon = text.find(": "); colon != std::string::npos) text.erase(0, colon + 2);
    for (const char* tail : {" `", " @ "}) {
        if (const std::size_t at = text.find(tail); at != std::string::npos) text.erase(at);
    }
    return text;
}

// What a refused step tells the user: size, when known, is " of W x H
// pixels".
struct Refusal {
    const ReaderLimits& limits;
    std::string size;

    // An error of ImageMagick's resource limits: a side or the count of
    // images past the reader's limits is a picture too large; anything
    // else is the cache that did not fit.
    [[noreturn]] void resourceError(const std::string& reason) const
    {
        if (reason.find("width or height exceeds limit") != std::string::npos) {
            throw Error("The picture is too large: each side can be at most " + std::to_string(limits.pictureSide) +
                        " pixels");
        }
        if (reason.find("list length exceeds limit") != std::string::npos) {
            throw Error("The picture file is too large: it holds more than " + std::to_string(limits.magickImages) +
                        " images");
        }
        throw Error("Not enough memory to read the picture" + size + " (" + reason + ")");
    }
};

// Runs one ImageMagick step. A warning leaves the step done (a file with an
// odd tag is still a picture), unless it says that the data is corrupt or
// cut short; every error is a damaged file, but for the resource limits.
template <typename Step>
void step(Step&& run, const Refusal& refusal)
{
    try {
        run();
    } catch (const Magick::WarningCorruptImage& e) {
        throw DamagedPicture(reasonOf(e));
    } catch (const Magick::Warning&) {
    } catch (const Magick::ErrorResourceLimit& e) {
        refusal.resourceError(reasonOf(e));
    } catch (const Magick::ErrorCache& e) {
        refusal.resourceError(reasonOf(e));
    } catch (const Magick::Exception& e) {
        const std::string reason = reasonOf(e);
        if (reason.find("exceeds limit") != std::string::npos) refusal.resourceError(reason);
        throw DamagedPicture(reason);
    }
}

bool keepsColourValues(MagickCore::ColorspaceType space)
{
    return space == MagickCore::sRGBColorspace || space == MagickCore::GRAYColorspace;
}

// Reads the picture in this process: run only in the child that
// readMagickPicture starts.
Picture readHere(FileBytes bytes, const char* magick, bool firstFrameOnly, const ReaderLimits& limits, bool sizeChecked)
{
    startMagick();
    applyLimits(limits, !sizeChecked);
    Refusal refusal {limits, ""};
    Magick::Blob blob;
    const std::size_t length = bytes.size;
    blob.updateNoCopy(bytes.data.release(), length, Magick::Blob::MallocAllocator);

    Magick::Image image;
    step(
        [&] {
            image.quiet(false);
            image.magick(magick);
            if (std::strcmp(magick, "WMF") == 0 || std::strcmp(magick, "EMF") == 0) {
                image.density(Magick::Geometry(kScreenDpi, kScreenDpi));
            }
            if (firstFrameOnly) {
                image.subImage(0);
                image.subRange(1);
            }
        },
        refusal);
    // The size is checked before any pixel is decoded.
    if (!sizeChecked) {
        step([&] { image.ping(blob); }, refusal);
        const auto columns = static_cast<long long>(image.columns()), rows = static_cast<long long>(image.rows());
        checkPictureSize(columns, rows, limits.pictureSide);
        refusal.size = " of " + std::to_string(columns) + " x " + std::to_string(rows) + " pixels";
        applyLimits(limits, false);
    }
    step(
        [&] {
            image.magick(magick);
            image.read(blob);
        },
        refusal);
    blob = Magick::Blob();
    const auto width = static_cast<std::size_t>(image.columns());
    const auto height = static_cast<std::size_t>(image.rows());
    if (width == 0 || height == 0) throw DamagedPicture("no picture in the file");
    checkPictureSize(static_cast<long long>(width), static_cast<long long>(height), limits.pictureSide);

    // CMYK, Photo CD's YCC, Lab, linear RGB and the like become sRGB values.
    if (!keepsColourValues(image.colorSpace())) step([&] { image.colorSpace(MagickCore::sRGBColorspace); }, refusal);
    Picture picture = Picture::make(static_cast<int>(width), static_cast<int>(height));
    if (!image.matte()) {
        step([&] { image.write(0, 0, width, height, "BGR", Magick::CharPixel, picture.pixels.data()); }, refusal);
        return picture;
    }
    std::vector<std::uint8_t> strip(width * 4 * std::min(kStripRows, height));
    for (std::size_t top = 0; top < height; top += kStripRows) {
        const std::size_t rows = std::min(kStripRows, height - top);
        step([&] { image.write(0, static_cast<ssize_t>(top), width, rows, "BGRA", Magick::CharPixel, strip.data()); },
             refusal);
        for (std::size_t y = 0; y < rows; ++y) {
            drawRowOverWhite(strip.data() + width * 4 * y, width, picture.row(static_cast<int>(top + y)));
        }
    }
    return picture;
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

// The write end of the child's pipe, for ImageMagick's fatal error handler.
int childReportFd = -1;

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

// ImageMagick ends the process after a fatal error (its time limit is one):
// the child reports it and ends.
void fatalInChild(MagickCore::ExceptionType, const char* reason, const char* description)
{
    const std::string text = std::string(reason ? reason : "") + (description ? std::string(" ") + description : "");
    reportAndExit(childReportFd,
                  text.find("time limit") != std::string::npos ? ChildReport::TimeLimit : ChildReport::Damaged,
                  reason ? reason : "");
}

[[noreturn]] void runChild(int fd, FileBytes bytes, const char* magick, bool firstFrameOnly, const ReaderLimits& limits,
                           bool sizeChecked, const std::string& cacheFiles)
{
    for (const int sig : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) std::signal(sig, SIG_DFL);
    const int null = ::open("/dev/null", O_RDWR | O_CLOEXEC);
    if (null >= 0) {
        ::dup2(null, STDIN_FILENO);
        ::dup2(null, STDOUT_FILENO);
        ::dup2(null, STDERR_FILENO);
    }
    childReportFd = fd;
    MagickCore::SetFatalErrorHandler(fatalInChild);
    // One thread: the parent's OpenMP threads are not in this process.
    MagickCore::SetMagickResourceLimit(MagickCore::ThreadResource, 1);
    MagickCore::SetMagickResourceLimit(MagickCore::TimeResource,
                                       static_cast<MagickCore::MagickSizeType>(limits.magickSeconds));
    // Cache files in a folder of this read alone, which the parent empties
    // whatever becomes of the child.
    if (!cacheFiles.empty()) {
        MagickCore::ExceptionInfo* exception = MagickCore::AcquireExceptionInfo();
        MagickCore::SetImageRegistry(MagickCore::StringRegistryType, "temporary-path", cacheFiles.c_str(), exception);
        MagickCore::DestroyExceptionInfo(exception);
    }
    try {
        const Picture picture = readHere(std::move(bytes), magick, firstFrameOnly, limits, sizeChecked);
        ChildReport report;
        report.width = static_cast<std::uint32_t>(picture.width);
        report.height = static_cast<std::uint32_t>(picture.height);
        report.length = picture.pixels.size();
        const bool sent =
            writeAll(fd, &report, sizeof report) && writeAll(fd, picture.pixels.data(), picture.pixels.size());
        ::_exit(sent ? 0 : 1);
    } catch (const DamagedPicture& e) {
        reportAndExit(fd, ChildReport::Damaged, e.what());
    } catch (const Error& e) {
        reportAndExit(fd, ChildReport::Refused, e.what());
    } catch (const std::bad_alloc&) {
        reportAndExit(fd, ChildReport::NoMemory, "");
    } catch (const std::exception& e) {
        reportAndExit(fd, ChildReport::Damaged, e.what());
    }
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

bool magickReads(const char* magick)
{
    startMagick();
    try {
        return Magick::CoderInfo(magick).isReadable();
    } catch (const Magick::Exception&) {
        return false;
    }
}

Picture readMagickPicture(FileBytes bytes, const char* magick, bool firstFrameOnly, const ReaderLimits& limits,
                          bool sizeChecked)
{
    startMagick();
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
        runChild(out.get(), std::move(bytes), magick, firstFrameOnly, limits, sizeChecked, cacheFiles);
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
