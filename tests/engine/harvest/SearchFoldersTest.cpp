#include "harvest/SearchFolders.h"

#include "TestSupport.h"
#include "core/Error.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>
#include <utime.h>

using namespace vextral;
using vextral::platform::MountTable;
using vextral::test::TempDir;
namespace fs = std::filesystem;

namespace {

void touch(const fs::path& p, const std::string& text = "x")
{
    fs::create_directories(p.parent_path());
    std::ofstream(p) << text;
}

struct Recorded {
    std::vector<std::string> processed;
    int changed = 0;
    std::int32_t changedCount = -1;
};

void record(SearchFolders& s, Recorded& r)
{
    s.onProcess = [&r](const std::string& dir, std::int32_t, std::int32_t) { r.processed.push_back(dir); };
    s.onChanged = [&r](std::int32_t count, std::int32_t) {
        ++r.changed;
        r.changedCount = count;
    };
}

std::vector<std::string> names(const SearchFolders& s)
{
    std::vector<std::string> out;
    for (const FilePack& p : s.list()) out.push_back(p.dir + p.name);
    return out;
}

SearchFolders searchIn(const fs::path& dir, const std::string& mask)
{
    SearchFolders s;
    s.scanOptions = ScanOptions::soSpecifiedDir;
    s.scanDir = dir.string();
    s.fileMask = mask;
    s.mounts = MountTable::fromText("/dev/sda1 / ext4 rw 0 0\n");
    return s;
}

} // namespace

TEST(SearchFolders, MatchesFilesAndFoldersDepthFirstInNameOrder)
{
    TempDir tree;
    const std::string root = tree.path().string();
    touch(tree / "b.dll");
    touch(tree / "a.EXE");
    touch(tree / "c.txt");
    fs::create_directory(tree / "x.exe");
    touch(tree / "sub/Z.Dll");
    touch(tree / "sub/deeper/e.exe", "12345");
    SearchFolders s = searchIn(tree.path(), "*.exe,*.dll");
    Recorded r;
    record(s, r);
    int pumps = 0;
    s.pump = [&] { ++pumps; };
    s.execute();
    EXPECT_EQ(names(s), (std::vector<std::string> {root + "/a.EXE", root + "/b.dll", root + "/sub/deeper/e.exe",
                                                   root + "/sub/Z.Dll", root + "/x.exe"}));
    EXPECT_EQ(s.countFiles(), 5);
    EXPECT_EQ(r.processed, (std::vector<std::string> {root, root + "/sub", root + "/sub/deeper", root + "/x.exe"}));
    EXPECT_EQ(r.changed, 1);
    EXPECT_EQ(r.changedCount, 5);
    EXPECT_EQ(pumps, 8); // once per entry
    EXPECT_EQ(s.list()[4].attr, 16);
    EXPECT_EQ(s.list()[2].attr, 32);
    EXPECT_EQ(s.list()[2].size, 5);
    EXPECT_EQ(s.sizeOfFiles(), 1 + 1 + 5 + 1 + s.list()[4].size);

    // Without recursion only the folder's own entries are tested; a trailing
    // "/" in the folder is kept as given and not doubled.
    SearchFolders flat = searchIn(tree.path(), "*.exe,*.dll");
    flat.doRecursive = false;
    flat.scanDir = root + "/";
    Recorded rf;
    record(flat, rf);
    flat.execute();
    EXPECT_EQ(flat.countFiles(), 3);
    EXPECT_EQ(flat.list()[0].dir, root + "/");
    EXPECT_EQ(rf.processed, std::vector<std::string> {root + "/"});
}

TEST(SearchFolders, StopsEndsAndBadInput)
{
    TempDir tree;
    touch(tree / "a.exe");
    touch(tree / "b/c.exe");
    // A stop from OnProcess ends the walk before the first entry is tested.
    SearchFolders s = searchIn(tree.path(), "*");
    Recorded r;
    s.onProcess = [&](const std::string& dir, std::int32_t, std::int32_t) {
        r.processed.push_back(dir);
        s.stop();
    };
    s.onChanged = [&](std::int32_t count, std::int32_t) {
        ++r.changed;
        r.changedCount = count;
    };
    s.execute();
    EXPECT_EQ(r.changed, 1);
    EXPECT_EQ(r.changedCount, 0);
    // The next search starts afresh.
    s.onProcess = nullptr;
    s.execute();
    EXPECT_EQ(s.countFiles(), 3);

    // A missing folder gives nothing; an invalid mask throws before any event.
    SearchFolders missing = searchIn(tree / "nope", "*");
    Recorded rm;
    record(missing, rm);
    missing.execute();
    EXPECT_EQ(missing.countFiles(), 0);
    EXPECT_EQ(rm.changed, 1);
    SearchFolders bad = searchIn(tree.path(), "*.exe,[x");
    Recorded rb;
    record(bad, rb);
    EXPECT_THROW(bad.execute(), Error);
    EXPECT_TRUE(rb.processed.empty());
    EXPECT_EQ(rb.changed, 0);

    // Empty mask: no entry matches, every folder is still visited.
    SearchFolders none = searchIn(tree.path(), "");
    Recorded rn;
    record(none, rn);
    none.execute();
    EXPECT_EQ(none.countFiles(), 0);
    EXPECT_EQ(rn.processed.size(), 2u);
}

TEST(SearchFolders, NeverFollowsLinksOrEntersPseudoFileSystems)
{
    TempDir tree;
    const std::string root = tree.path().string();
    touch(tree / "a/icon.ico");
    fs::create_directory_symlink(tree.path(), tree / "a/loop"); // back to the top
    fs::create_directory_symlink("/proc", tree / "a/proc-link");
    touch(tree / "fakeproc/status.ico");
    touch(tree / "other/disk.ico");
    SearchFolders s = searchIn(tree.path(), "*");
    s.mounts = MountTable::fromText("/dev/sda1 / ext4 rw 0 0\nproc " + root + "/fakeproc proc rw 0 0\n/dev/sdb1 " +
                                    root + "/other ext4 rw 0 0\n");
    s.execute();
    // The links are listed (they match "*") but not entered; the proc mount is not entered.
    EXPECT_EQ(names(s),
              (std::vector<std::string> {root + "/a", root + "/a/icon.ico", root + "/a/loop", root + "/a/proc-link",
                                         root + "/fakeproc", root + "/other", root + "/other/disk.ico"}));

    // A drive search stays on its file system.
    s.scanOptions = ScanOptions::soSpecifiedDisk;
    s.scanDir = root + "/a";
    s.mounts = MountTable::fromText("/dev/sda1 / ext4 rw 0 0\ntmpfs " + root + " tmpfs rw 0 0\n/dev/sdb1 " + root +
                                    "/other ext4 rw 0 0\n");
    s.execute();
    const auto onDrive = names(s);
    EXPECT_EQ(std::count(onDrive.begin(), onDrive.end(), root + "/other/disk.ico"), 0);
    EXPECT_EQ(std::count(onDrive.begin(), onDrive.end(), root + "/other"), 1);
    EXPECT_EQ(std::count(onDrive.begin(), onDrive.end(), root + "/a/icon.ico"), 1);

    // All disks: the real drives of the table in mount-point order, pseudo ones left out.
    s.scanOptions = ScanOptions::soAllDisks;
    s.fileMask = "*.ico";
    s.mounts = MountTable::fromText("sysfs /sys sysfs rw 0 0\n/dev/sdb1 " + root + "/other ext4 rw 0 0\ntmpfs " + root +
                                    "/a tmpfs rw 0 0\nproc /proc proc rw 0 0\n");
    Recorded r;
    record(s, r);
    s.execute();
    EXPECT_EQ(names(s), (std::vector<std::string> {root + "/a/icon.ico", root + "/other/disk.ico"}));
}

TEST(SearchFolders, PacksCarryAttributesAndDosTime)
{
    TempDir tree;
    touch(tree / ".hidden.ico", "abc");
    touch(tree / "locked.ico");
    fs::permissions(tree / "locked.ico", fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    std::tm tm {};
    tm.tm_year = 2003 - 1900;
    tm.tm_mon = 6; // July
    tm.tm_mday = 14;
    tm.tm_hour = 13;
    tm.tm_min = 45;
    tm.tm_sec = 31;
    tm.tm_isdst = -1;
    const std::time_t when = std::mktime(&tm);
    const utimbuf times {when, when};
    ::utime((tree / "locked.ico").c_str(), &times);
    SearchFolders s = searchIn(tree.path(), "*.ico");
    s.execute();
    ASSERT_EQ(s.list().size(), 2u);
    EXPECT_EQ(s.list()[0].name, ".hidden.ico");
    EXPECT_EQ(s.list()[0].attr, 2 | 32);
    EXPECT_EQ(s.list()[0].size, 3);
    EXPECT_EQ(s.list()[1].attr, 1 | 32);
    const std::uint32_t date = (2003 - 1980) << 9 | 7 << 5 | 14;
    const std::uint32_t time = 13 << 11 | 45 << 5 | 15;
    EXPECT_EQ(static_cast<std::uint32_t>(s.list()[1].time), date << 16 | time);
    EXPECT_EQ(dosDateTime(0), (1 << 5 | 1) << 16);
}

TEST(MountTable, FindsMountsAndTheRecycleBin)
{
    const MountTable t = MountTable::fromText("/dev/sda1 / ext4 rw 0 0\n/dev/sdb1 /media/usb\\040stick vfat rw 0 0\n"
                                              "server:/x /mnt/nfs nfs4 rw 0 0\nproc /proc proc rw 0 0\n"
                                              "sysfs /sys sysfs rw 0 0\ntmpfs /sys/fs/cgroup tmpfs rw 0 0\n");
    EXPECT_EQ(t.mountOf("/media/usb stick/a.exe")->point, "/media/usb stick");
    EXPECT_EQ(t.mountOf("/media/usbother")->point, "/");
    EXPECT_EQ(t.mountAt("/mnt/nfs")->kind(), platform::DriveKind::Remote);
    EXPECT_EQ(t.mountAt("/proc")->kind(), platform::DriveKind::Pseudo);
    EXPECT_EQ(t.drives(), (std::vector<std::string> {"/", "/media/usb stick", "/mnt/nfs"}));

    const platform::RecycleRule rule(t, "/home/ann/.local/share/Trash");
    EXPECT_TRUE(rule.inRecycleFolder("/RECYCLED/x.exe"));
    EXPECT_TRUE(rule.inRecycleFolder("/RECYCLED.BIN/x.exe"));
    EXPECT_TRUE(rule.inRecycleFolder("/media/usb stick/RECYCLED/x.exe"));
    EXPECT_TRUE(rule.inRecycleFolder("/media/usb stick/.Trash-1000/files/x.exe"));
    EXPECT_TRUE(rule.inRecycleFolder("/home/ann/.local/share/Trash/files/x.exe"));
    EXPECT_FALSE(rule.inRecycleFolder("/data/RECYCLED/x.exe"));
    EXPECT_FALSE(rule.inRecycleFolder("/recycled/x.exe")); // letter case counts
    EXPECT_FALSE(rule.inRecycleFolder("/media/usb stick/docs/x.exe"));
}

TEST(SearchFolders, ALinkNamedAsTheStartIsSearchedLinksBelowItAreNot)
{
    TempDir tree;
    touch(tree / "real/a.dll");
    touch(tree / "real/sub/b.dll");
    touch(tree / "elsewhere/c.dll");
    fs::create_directory_symlink(tree / "elsewhere", tree / "real/inner-link");
    fs::create_directory_symlink(tree / "real", tree / "start-link");
    // The start is followed; the walk goes by the folder it leads to.
    const std::string real = fs::canonical(tree / "real").string();
    SearchFolders s = searchIn(tree / "start-link", "*.dll");
    Recorded r;
    record(s, r);
    std::vector<std::string> errors;
    s.onError = [&](const std::string& dir, const std::string&) { errors.push_back(dir); };
    s.execute();
    EXPECT_EQ(names(s), (std::vector<std::string> {real + "/a.dll", real + "/sub/b.dll"}));
    EXPECT_EQ(r.processed, (std::vector<std::string> {real, real + "/sub"}));
    EXPECT_TRUE(errors.empty());

    // The same for a drive search started at a link.
    s.scanOptions = ScanOptions::soSpecifiedDisk;
    s.mounts = MountTable::fromText("/dev/sda1 / ext4 rw 0 0\n/dev/sdb1 " + real + " ext4 rw 0 0\n");
    s.execute();
    EXPECT_EQ(names(s), (std::vector<std::string> {real + "/a.dll", real + "/sub/b.dll"}));
}

TEST(SearchFolders, ReportsFoldersItCannotListAndGoesOn)
{
    TempDir tree;
    touch(tree / "file.txt");
    touch(tree / "a/1.ico");
    touch(tree / "b/2.ico");
    touch(tree / "c/3.ico");
    fs::create_symlink(tree / "missing", tree / "dangling");
    struct Failure {
        std::string dir;
        std::string reason;
        bool operator==(const Failure&) const = default;
    };
    std::vector<Failure> failures;
    auto watch = [&](SearchFolders& s) {
        failures.clear();
        s.onError = [&](const std::string& dir, const std::string& reason) { failures.push_back({dir, reason}); };
    };

    // A start below a file, a start that does not exist, a dangling link as the start.
    for (const auto& [start, error] : std::vector<std::pair<fs::path, int>> {
             {tree / "file.txt/sub", ENOTDIR}, {tree / "nope", ENOENT}, {tree / "dangling", ENOENT}}) {
        SearchFolders s = searchIn(start, "*");
        watch(s);
        s.execute();
        EXPECT_EQ(failures, (std::vector<Failure> {{start.string(), std::strerror(error)}})) << start;
        EXPECT_EQ(s.countFiles(), 0);
    }

    // A folder that goes away while the search runs is reported; the search
    // goes on with the folders after it.
    SearchFolders s = searchIn(tree.path(), "*.ico");
    watch(s);
    s.pump = [&] { fs::remove_all(tree / "b"); };
    s.execute();
    const std::string root = tree.path().string();
    EXPECT_EQ(failures, (std::vector<Failure> {{root + "/b", std::strerror(ENOENT)}}));
    EXPECT_EQ(names(s), (std::vector<std::string> {root + "/a/1.ico", root + "/c/3.ico"}));

    // A folder without read permission (root reads it all the same).
    if (::geteuid() != 0) {
        fs::create_directories(tree / "locked");
        fs::permissions(tree / "locked", fs::perms::none);
        SearchFolders l = searchIn(tree.path(), "*.ico");
        watch(l);
        l.execute();
        fs::permissions(tree / "locked", fs::perms::owner_all);
        EXPECT_EQ(failures, (std::vector<Failure> {{root + "/locked", std::strerror(EACCES)}}));
    }
}
