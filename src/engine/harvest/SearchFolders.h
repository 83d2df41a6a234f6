#pragma once

#include "platform/MountTable.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace vextral {

// One matching directory entry.
struct FilePack {
    std::string name;  // without folder
    std::string dir;   // the folder that holds it, always ending in "/"
    std::int32_t size; // bytes (low 32 bits)
    std::int32_t attr; // read-only 1, hidden 2, directory 16, archive 32
    std::int32_t time; // last write, as a packed DOS date and time in local time
};

enum class ScanOptions { soAllDisks, soSpecifiedDisk, soSpecifiedDir };

// Walks a folder, the drive (mounted file system) of a folder, or every drive,
// depth-first, and collects the entries whose names match one of the patterns
// of fileMask (see Mask). Entries come in name order without regard to letter
// case; symbolic links to folders met below the start are never followed (a
// start that is itself such a link is searched at the folder it leads to),
// pseudo file systems (/proc, /sys, ...) never entered, and a drive's search
// stays on its file system. The pump runs after each entry, so stop() can end
// a search early.
class SearchFolders {
public:
    std::string fileMask = "*";
    bool updateList = true;
    ScanOptions scanOptions = ScanOptions::soAllDisks;
    std::string scanDir = "/";
    bool messages = true;
    bool doRecursive = true;

    // At the start of each folder visited: the folder and the running totals.
    std::function<void(const std::string& dir, std::int32_t countFiles, std::int32_t sizeOfFiles)> onProcess;
    // Once when a search has ended, also when it was stopped.
    std::function<void(std::int32_t countFiles, std::int32_t sizeOfFiles)> onChanged;
    // A folder that could not be listed (the start included), with the
    // system's reason ("Permission denied"); the search goes on with the rest.
    std::function<void(const std::string& dir, const std::string& reason)> onError;
    std::function<void()> pump;
    // The mounts to go by; the system's own when not set.
    std::optional<platform::MountTable> mounts;

    // Runs one search. An invalid pattern throws before anything is scanned.
    void execute();
    void stop() { stopRequested_ = true; }

    const std::vector<FilePack>& list() const { return list_; }
    std::int32_t countFiles() const { return static_cast<std::int32_t>(count_); }
    std::int32_t sizeOfFiles() const { return static_cast<std::int32_t>(size_); }

private:
    struct Walk;
    void scan(Walk& walk, const std::string& folder);

    std::vector<FilePack> list_;
    std::uint32_t count_ = 0;
    std::uint32_t size_ = 0;
    bool stopRequested_ = false;
};

// A modification time as a packed DOS date (high word) and time (low word) in
// local time; times before 1980 give 1980-01-01 00:00.
std::int32_t dosDateTime(std::int64_t unixTime);

} // namespace vextral
