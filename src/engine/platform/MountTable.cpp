#include "platform/MountTable.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <sys/stat.h>

namespace vextral::platform {

namespace {

bool oneOf(const std::string& value, std::initializer_list<const char*> list)
{
    return std::any_of(list.begin(), list.end(), [&](const char* item) { return value == item; });
}

// /proc/self/mounts writes blanks, tabs, newlines and backslashes as \ooo.
std::string unescape(const std::string& field)
{
    std::string out;
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() + 0 && std::isdigit(static_cast<unsigned char>(field[i + 1])) &&
            std::isdigit(static_cast<unsigned char>(field[i + 2])) &&
            std::isdigit(static_cast<unsigned char>(field[i + 3]))) {
            out += static_cast<char>(((field[i + 1] - '0') << 6) | ((field[i + 2] - '0') << 3) | (field[i + 3] - '0'));
            i += 3;
        } else {
            out += field[i];
        }
    }
    return out;
}

bool under(const std::string& path, const std::string& point)
{
    if (point == "/") return !path.empty() && path[0] == '/';
    return path == point ||
           (path.size() > point.size() && path.compare(0, point.size(), point) == 0 && path[point.size()] == '/');
}

} // namespace

DriveKind Mount::kind() const
{
    if (oneOf(type,
              {"proc",        "sysfs",    "devtmpfs", "devpts",     "cgroup",    "cgroup2",  "securityfs", "debugfs",
               "tracefs",     "pstore",   "bpf",      "mqueue",     "hugetlbfs", "configfs", "fusectl",    "autofs",
               "binfmt_misc", "efivarfs", "nsfs",     "rpc_pipefs", "selinuxfs", "rootfs"}))
        return DriveKind::Pseudo;
    if (oneOf(type, {"nfs", "nfs4", "cifs", "smb3", "smbfs", "fuse.sshfs", "sshfs", "9p", "afs", "ceph",
                     "fuse.glusterfs", "glusterfs"}))
        return DriveKind::Remote;
    if (oneOf(type, {"iso9660", "udf"})) return DriveKind::CdRom;
    if (oneOf(type, {"tmpfs", "ramfs"})) return DriveKind::RamDisk;
    if (oneOf(type, {"ext2", "ext3", "ext4", "xfs", "btrfs", "vfat", "msdos", "exfat", "ntfs", "ntfs3", "fuseblk",
                     "f2fs", "jfs", "reiserfs", "zfs", "hfsplus", "overlay"}) ||
        source.rfind("/dev/", 0) == 0)
        return DriveKind::Fixed;
    return DriveKind::Other;
}

MountTable MountTable::fromText(const std::string& procMounts)
{
    std::vector<Mount> mounts;
    std::istringstream in(procMounts);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string source, point, type;
        if (fields >> source >> point >> type) mounts.push_back({unescape(point), type, unescape(source)});
    }
    return MountTable(std::move(mounts));
}

MountTable MountTable::fromFile(const std::string& path)
{
    constexpr std::size_t kMaxTable = 16 << 20;
    MountTable unread;
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        unread.problem_ = "Cannot read " + path + ": " + std::strerror(errno);
        return unread;
    }
    // The /proc files have no size: read in pieces, never past the limit.
    std::string text;
    char piece[65536];
    while (in.read(piece, sizeof piece) || in.gcount() > 0) {
        text.append(piece, static_cast<std::size_t>(in.gcount()));
        if (text.size() > kMaxTable) {
            unread.problem_ = "Cannot read " + path + ": it is larger than 16 MiB";
            return unread;
        }
    }
    if (in.bad()) {
        unread.problem_ = "Cannot read " + path + ": " + std::strerror(errno);
        return unread;
    }
    return fromText(text);
}

MountTable MountTable::current() { return fromFile("/proc/self/mounts"); }

const Mount* MountTable::mountOf(const std::string& path) const
{
    const Mount* best = nullptr;
    for (const Mount& m : mounts_) {
        // Later mounts hide earlier ones at the same point.
        if (under(path, m.point) && (!best || m.point.size() >= best->point.size())) best = &m;
    }
    return best;
}

const Mount* MountTable::mountAt(const std::string& path) const
{
    const Mount* found = nullptr;
    for (const Mount& m : mounts_) {
        if (m.point == path) found = &m;
    }
    return found;
}

std::vector<std::string> MountTable::drives() const
{
    std::set<std::string> points;
    for (const Mount& m : mounts_) {
        const Mount* top = mountAt(m.point);
        const DriveKind k = top->kind();
        if (k != DriveKind::Fixed && k != DriveKind::Remote && k != DriveKind::CdRom && k != DriveKind::RamDisk)
            continue;
        // A file system mounted inside /proc, /sys or /dev belongs to the system, not to the user.
        const std::size_t slash = m.point.find_last_of('/');
        const Mount* below = slash == std::string::npos || slash == 0 ? nullptr : mountOf(m.point.substr(0, slash));
        if (below && below->kind() == DriveKind::Pseudo) continue;
        // A file mounted over another (/etc/hosts in a container) is no drive.
        struct stat st {};
        if (::stat(m.point.c_str(), &st) == 0 && !S_ISDIR(st.st_mode)) continue;
        points.insert(m.point);
    }
    return {points.begin(), points.end()};
}

RecycleRule RecycleRule::current()
{
    std::string trash;
    if (const char* data = std::getenv("XDG_DATA_HOME"); data && *data == '/') {
        trash = std::string(data) + "/Trash";
    } else if (const char* home = std::getenv("HOME"); home && *home) {
        trash = std::string(home) + "/.local/share/Trash";
    }
    return RecycleRule(MountTable::current(), trash);
}

bool RecycleRule::inRecycleFolder(const std::string& path) const
{
    if (!userTrash_.empty() && under(path, userTrash_)) return true;
    const Mount* m = mounts_.mountOf(path);
    const std::size_t skip = !m ? 1 : m->point == "/" ? 1 : m->point.size() + 1;
    if (path.size() <= skip) return false;
    const std::string below = path.substr(skip);
    return below.rfind("RECYCLED", 0) == 0 || below.rfind(".Trash", 0) == 0;
}

} // namespace vextral::platform
