#include "net/MoxMsg.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <random>
#include <unistd.h>

#include "core/Error.h"
#include "core/FileDescriptor.h"
#include "core/FileName.h"
#include "net/MimeTypes.h"

namespace vextral::net {

namespace {

constexpr const char* kDayNames[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr const char* kMonthNames[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                       "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

// Identifiers and boundaries must differ between two calls in the same clock
// tick too, so the generator is seeded once from the system's entropy.
std::mt19937& generator()
{
    thread_local std::mt19937 engine {std::random_device {}()};
    return engine;
}

std::string randomLetters(int count, int alphabetSize)
{
    std::uniform_int_distribution<int> letter(0, alphabetSize - 1);
    std::string text;
    for (int i = 0; i < count; ++i) text += static_cast<char>('a' + letter(generator()));
    return text;
}

std::tm localTime(std::time_t moment, long& offsetSeconds)
{
    std::tm local {};
    localtime_r(&moment, &local);
    offsetSeconds = local.tm_gmtoff;
    return local;
}

} // namespace

AttachedFile& AttachedFiles::add(const std::string& path)
{
    items_.push_back(AttachedFile {fileNamePart(path), path, getContentType(path)});
    return items_.back();
}

std::string padNumber(long long n, int width)
{
    std::string text = std::to_string(n);
    if (static_cast<int>(text.size()) < width) text.insert(0, static_cast<std::size_t>(width) - text.size(), '0');
    return text;
}

std::string timeZoneText(long offsetSeconds)
{
    const long bias = offsetSeconds / 60; // minutes east of universal time
    if (bias == 0) return "GMT";
    const long minutes = bias < 0 ? -bias : bias;
    return (bias > 0 ? "+" : "-") + padNumber(minutes / 60, 2) + padNumber(minutes % 60, 2);
}

std::string timeZoneText()
{
    long offset = 0;
    localTime(std::time(nullptr), offset);
    return timeZoneText(offset);
}

std::string formatMailDate(const std::tm& local, long offsetSeconds)
{
    const int day = local.tm_wday >= 0 && local.tm_wday < 7 ? local.tm_wday : 0;
    const int month = local.tm_mon >= 0 && local.tm_mon < 12 ? local.tm_mon : 0;
    return std::string(kDayNames[day]) + ", " + std::to_string(local.tm_mday) + " " + kMonthNames[month] + " " +
           std::to_string(local.tm_year + 1900) + " " + padNumber(local.tm_hour, 2) + ":" + padNumber(local.tm_min, 2) +
           ":" + padNumber(local.tm_sec, 2) + " " + timeZoneText(offsetSeconds);
}

std::string formatMailDate(std::time_t moment)
{
    long offset = 0;
    const std::tm local = localTime(moment, offset);
    return formatMailDate(local, offset);
}

std::string newMessageId(const std::string& hostName)
{
    long offset = 0;
    const std::tm today = localTime(std::time(nullptr), offset);
    return "<MOX." + padNumber(today.tm_year + 1900, 4) + "." + padNumber(today.tm_mon + 1, 2) + "." +
           padNumber(today.tm_mday, 2) + "." + randomLetters(8, 20) + "@" + hostName + ">";
}

std::string newBoundary() { return "--_MOX_bound_" + randomLetters(12, 25); }

static std::string temporaryFolder()
{
    const char* dir = std::getenv("TMPDIR");
    std::string folder = dir && *dir ? dir : "/tmp";
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    return folder;
}

// Creates a new empty file "mox..." in the temporary folder, open for reading
// and writing; name receives its path. Throws vextral::Error when it cannot.
static FileDescriptor createTempFile(std::string& name)
{
    std::string pattern = temporaryFolder() + "/moxXXXXXX";
    FileDescriptor file(::mkostemp(pattern.data(), O_CLOEXEC));
    if (!file) throw Error("Cannot create file " + pattern + ": " + std::strerror(errno));
    name = pattern;
    return file;
}

std::string newTempFileName()
{
    std::string name;
    createTempFile(name); // closed at once: only the unused name is wanted
    ::unlink(name.c_str());
    return name;
}

} // namespace vextral::net
