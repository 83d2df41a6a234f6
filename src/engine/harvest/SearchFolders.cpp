#include "harvest/SearchFolders.h"

#include "core/FileDescriptor.h"
#include "core/Text.h"
#include "harvest/Mask.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace vextral {

namespace {

struct Entry {
    std::string name;
    std::string key; // the name in upper case, for sorting
    unsigned char type;
};

std::string withSlash(const std::string& folder)
{
    return !folder.empty() && folder.back() == '/' ? folder : folder + "/";
}

// A folder's entries, sorted by name without regard to letter case, and the
// folder's identity. error is the errno of a failure, 0 when there was none.
// A folder that could not be opened has opened false; when reading failed
// partway, the entries read before the failure are kept.
struct Listing {
    std::vector<Entry> entries;
    dev_t dev = 0;
    ino_t ino = 0;
    bool opened = false;
    int error = 0;
};

Listing listFolder(const std::string& folder)
{
    Listing listing;
    FileDescriptor fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOFOLLOW));
    struct stat st {};
    DIR* dir = nullptr;
    if (!fd || ::fstat(fd.get(), &st) != 0 || !(dir = ::fdopendir(fd.get()))) {
        listing.error = errno;
        return listing;
    }
    fd.release(); // the directory stream owns it now
    listing.opened = true;
    listing.dev = st.st_dev;
    listing.ino = st.st_ino;
    for (;;) {
        errno = 0;
        const dirent* e = ::readdir(dir);
        if (!e) {
            listing.error = errno;
            break;
        }
        listing.entries.push_back({e->d_name, upperAscii(e->d_name), e->d_type});
    }
    ::closedir(dir);
    std::sort(listing.entries.begin(), listing.entries.end(),
              [](const Entry& a, const Entry& b) { return a.key != b.key ? a.key < b.key : a.name < b.name; });
    return listing;
}

// The folder a search starts from. A symbolic link named as the start is
// followed to the folder it leads to, so the walk (and its mount checks) go
// by the real path; links met below the start are never followed. Gives
// nothing, with the errno, when the link leads nowhere.
std::optional<std::string> startFolder(const std::string& folder, int& error)
{
    struct stat st {};
    if (::lstat(folder.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return folder;
    char* real = ::realpath(folder.c_str(), nullptr);
    if (!real) {
        error = errno;
        return std::nullopt;
    }
    std::string resolved(real);
    std::free(real);
    return resolved;
}

} // namespace

struct SearchFolders::Walk {
    std::vector<Mask> masks;
    platform::MountTable mounts;
    const platform::Mount* drive = nullptr; // the file system a drive search stays on
    std::set<std::pair<dev_t, ino_t>> visited;
};

std::int32_t dosDateTime(std::int64_t unixTime)
{
    const std::time_t t = static_cast<std::time_t>(unixTime);
    std::tm tm {};
    if (!::localtime_r(&t, &tm) || tm.tm_year < 80) return (1 << 5 | 1) << 16; // 1980-01-01 00:00
    const int year = std::min(tm.tm_year - 80, 127);
    const std::uint32_t date = static_cast<std::uint32_t>(year << 9 | (tm.tm_mon + 1) << 5 | tm.tm_mday);
    const std::uint32_t time = static_cast<std::uint32_t>(tm.tm_hour << 11 | tm.tm_min << 5 | tm.tm_sec / 2);
    return static_cast<std::int32_t>(date << 16 | time);
}

void SearchFolders::execute()
{
    list_.clear();
    count_ = 0;
    size_ = 0;
    Walk walk;
    for (const std::string& pattern : splitMaskList(fileMask)) walk.masks.emplace_back(pattern);
    stopRequested_ = false;
    walk.mounts = mounts ? *mounts : platform::MountTable::current();

    int error = 0;
    switch (scanOptions) {
    case ScanOptions::soSpecifiedDir:
        if (const auto start = startFolder(scanDir, error)) {
            scan(walk, *start);
        } else if (onError) {
            onError(scanDir, std::strerror(error));
        }
        break;
    case ScanOptions::soSpecifiedDisk:
        if (const auto start = startFolder(scanDir, error)) {
            if ((walk.drive = walk.mounts.mountOf(*start))) scan(walk, walk.drive->point);
        } else if (onError) {
            onError(scanDir, std::strerror(error));
        }
        break;
    case ScanOptions::soAllDisks:
        for (const std::string& point : walk.mounts.drives()) {
            if (stopRequested_) break;
            walk.drive = walk.mounts.mountAt(point);
            scan(walk, point);
        }
        break;
    }
    if (onChanged) onChanged(countFiles(), sizeOfFiles());
}

void SearchFolders::scan(Walk& walk, const std::string& folder)
{
    if (onProcess) onProcess(folder, countFiles(), sizeOfFiles());
    const platform::Mount* here = walk.mounts.mountOf(folder);
    if (here && here->kind() == platform::DriveKind::Pseudo) return;

    const Listing listing = listFolder(folder);
    if (listing.error != 0 && onError) onError(folder, std::strerror(listing.error));
    if (!listing.opened) return;
    if (!walk.visited.insert({listing.dev, listing.ino}).second) return; // reached again through a bind mount
    const std::string dir = withSlash(folder);

    for (const Entry& entry : listing.entries) {
        if (stopRequested_) break;
        if (entry.name == "." || entry.name == "..") continue;
        const std::string path = dir + entry.name;
        bool isDir = entry.type == DT_DIR;
        const bool matched =
            std::any_of(walk.masks.begin(), walk.masks.end(), [&](const Mask& m) { return m.matches(entry.name); });
        struct stat st {};
        bool haveStat = false;
        if (matched || entry.type == DT_UNKNOWN) {
            haveStat = ::lstat(path.c_str(), &st) == 0;
            if (haveStat) isDir = S_ISDIR(st.st_mode);
        }
        if (matched) {
            ++count_;
            const auto size = haveStat ? static_cast<std::uint32_t>(st.st_size) : 0u;
            size_ += size;
            if (updateList) {
                std::int32_t attr = 0;
                if (haveStat && (st.st_mode & 0222) == 0) attr |= 1;
                if (entry.name[0] == '.') attr |= 2;
                if (isDir) attr |= 16;
                if (haveStat && S_ISREG(st.st_mode)) attr |= 32;
                list_.push_back({entry.name, dir, static_cast<std::int32_t>(size), attr,
                                 haveStat ? dosDateTime(st.st_mtime) : dosDateTime(0)});
            }
        }
        if (doRecursive && isDir) {
            const platform::Mount* child = walk.mounts.mountAt(path);
            const bool otherDrive = child && walk.drive && child != walk.drive;
            const bool pseudo = child && child->kind() == platform::DriveKind::Pseudo;
            if (!otherDrive && !pseudo) scan(walk, path);
        }
        if (messages && pump) pump();
    }
}

} // namespace vextral
