#pragma once

#include <string>
#include <vector>

namespace vextral::platform {

// What kind of "drive" a mounted file system is.
enum class DriveKind {
    Fixed,   // a local disk (ext4, xfs, btrfs, vfat, ntfs, overlay, ... or any /dev/ device)
    Remote,  // nfs, cifs, sshfs, ...
    CdRom,   // iso9660, udf
    RamDisk, // tmpfs, ramfs
    Pseudo,  // proc, sysfs, devtmpfs, cgroup, ...: never searched or entered
    Other,   // anything else: entered when a walk meets it, but not a drive
};

struct Mount {
    std::string point;
    std::string type;
    std::string source;
    DriveKind kind() const;
};

// The mounted file systems, as /proc/self/mounts lists them.
class MountTable {
public:
    MountTable() = default;
    explicit MountTable(std::vector<Mount> mounts) : mounts_(std::move(mounts)) {}
    static MountTable fromText(const std::string& procMounts);
    // The table a file in the format of /proc/self/mounts holds; empty, with
    // problem() saying why, when it cannot be read (or is over 16 MiB).
    static MountTable fromFile(const std::string& path);
    // fromFile("/proc/self/mounts").
    static MountTable current();

    // Why the mounts could not be read; empty when they were.
    const std::string& problem() const { return problem_; }

    const std::vector<Mount>& mounts() const { return mounts_; }
    // The mount that holds path (the longest mount point that is a prefix of
    // it, counting whole path components); nullptr when none does.
    const Mount* mountOf(const std::string& path) const;
    // The last mount made exactly at path, if any.
    const Mount* mountAt(const std::string& path) const;
    // The drives: mount points of fixed, remote, CD-ROM and RAM-disk file
    // systems, in mount-point order, each once; never a mount point that is a
    // file (a file bind-mounted over another).
    std::vector<std::string> drives() const;

private:
    std::vector<Mount> mounts_;
    std::string problem_;
};

// Whether path lies in a recycle bin: a folder at the top of a mounted file
// system whose name begins with "RECYCLED" (as on Windows media) or ".Trash"
// (the desktop's trash on removable and other disks), or the user's own trash.
class RecycleRule {
public:
    RecycleRule(MountTable mounts, std::string userTrash) : mounts_(std::move(mounts)), userTrash_(std::move(userTrash))
    {}
    // The current mounts and $XDG_DATA_HOME/Trash (~/.local/share/Trash).
    static RecycleRule current();
    bool inRecycleFolder(const std::string& path) const;

private:
    MountTable mounts_;
    std::string userTrash_;
};

} // namespace vextral::platform
