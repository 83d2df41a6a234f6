// Files built to make the icon reader work far beyond their size: groups of
// 65,535 entries naming one 1 MiB image, broken images named over and over,
// distinct resources whose ranges overlap, thousands of groups sharing one
// directory. Reading, choosing and rebuilding an icon must cost time and
// memory in proportion to the bytes of the file. The files come from
// tools/fixtures/gen_hostile_pe.py. The heavy checks run in a child process
// whose address space is limited, so a reader that allocates without bound
// fails the test instead of exhausting the machine.
#include "core/Bytes.h"
#include "export/BestImage.h"
#include "platform/IconExtractor.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <type_traits>

using namespace vextral;
using namespace vextral::platform;
namespace fs = std::filesystem;
using test::shellQuote;

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kAddressSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kAddressSanitizer = true;
#else
constexpr bool kAddressSanitizer = false;
#endif
#else
constexpr bool kAddressSanitizer = false;
#endif

// What a reader may take beyond what the test program already has: about
// 1 GB, far above what these files need and far below what they used to take.
constexpr std::uint64_t kMemoryAllowance = 1000000ull * 1024;
// "Quick": the faults these tests keep out took minutes. The sanitizers
// make the reader several times slower, and a loaded machine more again.
constexpr double kQuick = kAddressSanitizer ? 4.0 : 1.0; // seconds
// A reader that loops over what it already read is stopped after this much CPU time.
constexpr rlim_t kCpuSeconds = 20;

// The image the generator draws: 512 x 512 32-bit DIB with its AND mask.
constexpr std::uint64_t kDibBytes = 40 + 512 * 512 * 4 + 64 * 512;
constexpr std::uint32_t kDibColour = 0x2080C0;

fs::path generate(const test::TempDir& dir, const std::string& name, const std::string& options)
{
    const fs::path script = fs::path(VEXTRAL_FIXTURES).parent_path().parent_path() / "tools/fixtures/gen_hostile_pe.py";
    const fs::path out = dir / name;
    std::string log;
    const int status = test::runCommand("/usr/bin/python3 " + shellQuote(script.string()) + " " +
                                            shellQuote(out.string()) + " " + options + " 2>&1",
                                        &log);
    if (status != 0) throw std::runtime_error("gen_hostile_pe.py " + options + " failed: " + log);
    return out;
}

// A file of tools/fixtures/gen_hostile_icons.py: KIND and its options.
fs::path generateIcons(const test::TempDir& dir, const std::string& name, const std::string& kindAndOptions)
{
    const fs::path script =
        fs::path(VEXTRAL_FIXTURES).parent_path().parent_path() / "tools/fixtures/gen_hostile_icons.py";
    const fs::path out = dir / name;
    const std::string kind = kindAndOptions.substr(0, kindAndOptions.find(' '));
    const std::string options = kindAndOptions.size() > kind.size() ? kindAndOptions.substr(kind.size()) : "";
    std::string log;
    const int status = test::runCommand("/usr/bin/python3 " + shellQuote(script.string()) + " " + kind + " " +
                                            shellQuote(out.string()) + options + " 2>&1",
                                        &log);
    if (status != 0) throw std::runtime_error("gen_hostile_icons.py " + kindAndOptions + " failed: " + log);
    return out;
}

double secondsOf(const std::function<void()>& work)
{
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

std::uint64_t addressSpace()
{
    unsigned long long pages = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%llu", &pages) != 1) pages = 0;
        std::fclose(f);
    }
    return pages * static_cast<std::uint64_t>(sysconf(_SC_PAGESIZE));
}

// Runs body in a forked child whose address space may grow by
// kMemoryAllowance at most (not under AddressSanitizer, whose shadow memory
// needs more) and whose CPU time is capped, and hands back what it returned;
// an error text when it threw or died.
template <class T>
T inLimitedChild(const std::function<T()>& body, std::string& error)
{
    static_assert(std::is_trivially_copyable_v<T>);
    T result {};
    int channel[2];
    if (pipe(channel) != 0) {
        error = "pipe failed";
        return result;
    }
    std::fflush(nullptr);
    const pid_t child = fork();
    if (child == 0) {
        close(channel[0]);
        if (!kAddressSanitizer) {
            const rlim_t limit = addressSpace() + kMemoryAllowance;
            const rlimit cap {limit, limit};
            setrlimit(RLIMIT_AS, &cap);
        }
        const rlimit cpu {kCpuSeconds, kCpuSeconds};
        setrlimit(RLIMIT_CPU, &cpu);
        char status[200] = {};
        try {
            result = body();
        } catch (const std::exception& e) {
            std::snprintf(status, sizeof status, "threw: %s", e.what());
        }
        if (write(channel[1], status, sizeof status) != sizeof status ||
            write(channel[1], &result, sizeof result) != sizeof result)
            _exit(2);
        _exit(0);
    }
    close(channel[1]);
    char status[200] = {};
    const bool got = read(channel[0], status, sizeof status) == sizeof status &&
                     read(channel[0], &result, sizeof result) == sizeof result;
    close(channel[0]);
    int wstatus = 0;
    waitpid(child, &wstatus, 0);
    if (!got) {
        error =
            WIFSIGNALED(wstatus) ? "child died of signal " + std::to_string(WTERMSIG(wstatus)) : "child gave no answer";
    } else {
        error = status;
    }
    return result;
}

// What the four queries on icon 0 of a file gave, and how long each took.
struct Queried {
    int count = 0;
    std::uint64_t imageCount = 0;
    int imagesWithInfo = 0;
    bool icon = false;
    std::uint32_t centre = 0;
    std::uint64_t icoSize = 0;
    double openSeconds = 0, imagesSeconds = 0, iconSeconds = 0, icoSeconds = 0;
};

// Opens path and asks everything of icon index; the rebuilt icon file is
// written to icoPath when one is given.
Queried query(const fs::path& path, int index = 0, const fs::path& icoPath = {})
{
    Queried q;
    std::optional<IconSource> source;
    q.openSeconds = secondsOf([&] {
        source.emplace(IconSource::open(path.string()));
        q.count = source->count();
    });
    q.imagesSeconds = secondsOf([&] {
        const auto listed = source->images(index);
        q.imageCount = listed.size();
        for (const auto& image : listed) q.imagesWithInfo += image.info ? 1 : 0;
    });
    q.iconSeconds = secondsOf([&] {
        const auto icon = source->icon(index);
        q.icon = icon.has_value();
        if (icon) q.centre = icon->drawnOver(16, 16, 0);
    });
    q.icoSeconds = secondsOf([&] {
        const auto ico = source->originalIco(index);
        q.icoSize = ico.size();
        if (!icoPath.empty()) test::writeBytes(icoPath, ico);
    });
    return q;
}

Queried queryInChild(const fs::path& path, int index = 0, const fs::path& icoPath = {})
{
    std::string error;
    const Queried q = inLimitedChild<Queried>([&] { return query(path, index, icoPath); }, error);
    EXPECT_EQ(error, "") << path;
    return q;
}

void expectQuick(const Queried& q)
{
    EXPECT_LT(q.openSeconds, kQuick);
    EXPECT_LT(q.imagesSeconds, kQuick);
    EXPECT_LT(q.iconSeconds, kQuick);
    EXPECT_LT(q.icoSeconds, kQuick);
}

std::string icotoolListing(const fs::path& ico)
{
    std::string listing;
    EXPECT_EQ(test::runCommand("icotool -l " + shellQuote(ico.string()) + " 2>&1", &listing), 0);
    return listing;
}

void putU32(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// Generates a DLL of the 512 x 512 DIB with options and checks that every
// query is quick, the icon is the DIB's, and the rebuilt icon file holds the
// image once and is no larger than the DLL.
Queried expectOneDibImage(const test::TempDir& dir, const std::string& name, const std::string& options)
{
    const fs::path dll = generate(dir, name + ".dll", options);
    const Queried q = queryInChild(dll, 0, dir / (name + ".ico"));
    expectQuick(q);
    EXPECT_TRUE(q.icon);
    EXPECT_EQ(q.centre, kDibColour);
    EXPECT_EQ(q.icoSize, 6 + 16 + kDibBytes);
    EXPECT_LE(q.icoSize, fs::file_size(dll));
    EXPECT_EQ(icotoolListing(dir / (name + ".ico")),
              "--icon --index=1 --width=512 --height=512 --bit-depth=32 --palette-size=0\n");
    return q;
}

} // namespace

TEST(HostileIcons, ManyEntriesNamingOneImageCostThatImageOnce)
{
    // 65,535 group entries, one RT_ICON of a 512 x 512 32-bit DIB (1 MiB of
    // colour rows): once 64 GiB as a rebuilt icon file.
    test::TempDir dir;
    const Queried q = expectOneDibImage(dir, "many", "--entries 65535 --size 512");
    EXPECT_EQ(q.count, 1);
    EXPECT_EQ(q.imageCount, 65535u); // every entry is still listed
    EXPECT_EQ(q.imagesWithInfo, 65535);

    // A valid PNG named the same way: one image, decoded once.
    const fs::path png = generate(dir, "png.dll", "--entries 65535 --size 256 --image png");
    const Queried p = queryInChild(png, 0, dir / "png.ico");
    expectQuick(p);
    EXPECT_TRUE(p.icon);
    EXPECT_LE(p.icoSize, fs::file_size(png));
    EXPECT_EQ(icotoolListing(dir / "png.ico"),
              "--icon --index=1 --width=256 --height=256 --bit-depth=32 --palette-size=0\n");
}

TEST(HostileIcons, ABrokenImageNamedManyTimesIsDecodedOnce)
{
    // A PNG that libpng inflates row by row and then refuses (bad IDAT CRC),
    // named by 65,535 entries: no icon, found out with one decoding.
    test::TempDir dir;
    const fs::path dll = generate(dir, "broken.dll", "--entries 65535 --size 512 --image broken-png");
    const Queried q = queryInChild(dll);
    expectQuick(q);
    EXPECT_EQ(q.count, 1);
    EXPECT_EQ(q.imagesWithInfo, 65535); // its header is fine
    EXPECT_FALSE(q.icon);
    EXPECT_GT(q.icoSize, 0u); // the original form still holds the (broken) image, once
    EXPECT_LE(q.icoSize, fs::file_size(dll));

    // An icon file whose 65,535 entries all name one DIB whose pixels are
    // missing, alone and as the frame of an animated cursor.
    std::vector<std::uint8_t> ico = {0, 0, 1, 0, 0xFF, 0xFF};
    const std::uint32_t imageAt = 6 + 16 * 65535;
    for (int i = 0; i < 65535; ++i) {
        const std::uint8_t entry[16] = {0, 0, 0, 0, 1, 0, 32, 0};
        ico.insert(ico.end(), entry, entry + 16);
        putU32(ico, ico.size() - 8, 40 + 1000);
        putU32(ico, ico.size() - 4, imageAt);
    }
    std::vector<std::uint8_t> dib(40 + 1000, 0);
    putU32(dib, 0, 40);
    putU32(dib, 4, 512);
    putU32(dib, 8, 1024);
    dib[12] = 1;
    dib[14] = 32;
    ico.insert(ico.end(), dib.begin(), dib.end());
    test::writeBytes(dir / "broken.ico", ico);

    std::vector<std::uint8_t> ani = {'R', 'I', 'F', 'F', 0,   0,   0,   0,   'A', 'C', 'O', 'N', 'L', 'I', 'S', 'T',
                                     0,   0,   0,   0,   'f', 'r', 'a', 'm', 'i', 'c', 'o', 'n', 0,   0,   0,   0};
    putU32(ani, 28, static_cast<std::uint32_t>(ico.size()));
    putU32(ani, 16, static_cast<std::uint32_t>(12 + ico.size()));
    ani.insert(ani.end(), ico.begin(), ico.end());
    putU32(ani, 4, static_cast<std::uint32_t>(ani.size() - 8));
    test::writeBytes(dir / "broken.ani", ani);

    for (const char* name : {"broken.ico", "broken.ani"}) {
        SCOPED_TRACE(name);
        const Queried i = queryInChild(dir / name);
        expectQuick(i);
        EXPECT_EQ(i.count, 1);
        EXPECT_EQ(i.imageCount, 65535u);
        EXPECT_FALSE(i.icon);
        EXPECT_EQ(i.icoSize, ico.size()); // an icon file is its own original form
    }
}

TEST(HostileIcons, OverlappingImageRangesNeverMultiplyTheRebuiltFile)
{
    // 64 distinct RT_ICON resources whose ranges all start at the one image
    // (each a byte shorter than the last), named in turn by 65,535 entries.
    // Two of the images would already be larger than the DLL: one is kept.
    test::TempDir dir;
    expectOneDibImage(dir, "overlap", "--entries 65535 --ids 64 --size 512");
    EXPECT_GT(2 * kDibBytes, fs::file_size(dir / "overlap.dll"));

    // With small images several fit: each once, the whole never above the file's size.
    const fs::path small = generate(dir, "small.dll", "--entries 65535 --ids 300 --size 64");
    const Queried s = queryInChild(small, 0, dir / "small.ico");
    expectQuick(s);
    EXPECT_LE(s.icoSize, fs::file_size(small));
    const auto rebuilt = test::readBytes(dir / "small.ico");
    ASSERT_GE(rebuilt.size(), 6u);
    const std::uint64_t images = le16(&rebuilt[4]);
    EXPECT_GT(images, 1u);
    EXPECT_LT(images, 300u);
    std::uint64_t total = 6 + 16 * images;
    for (std::uint64_t i = 0; i < images; ++i) {
        EXPECT_EQ(le32(&rebuilt[6 + 16 * i + 12]), total); // laid one after another, no wrap
        total += le32(&rebuilt[6 + 16 * i + 8]);
    }
    EXPECT_EQ(total, rebuilt.size());

    // Broken PNGs with overlapping ranges: no icon, and no decoding of each.
    const fs::path broken = generate(dir, "overlap-png.dll", "--entries 65535 --ids 64 --size 512 --image broken-png");
    const Queried b = queryInChild(broken);
    expectQuick(b);
    EXPECT_FALSE(b.icon);
    EXPECT_LE(b.icoSize, fs::file_size(broken));
}

TEST(HostileIcons, PngsInflatingFarBeyondTheirBytesAreTriedWithinAPixelBudget)
{
    // An icon file whose 256 entries name one broken 2048 x 2048 PNG of about
    // 20 KB (each range a byte longer: distinct images), padded with 4 MiB so
    // the ranges fit the file's bytes some 200 times over. Each attempt
    // inflates 16 MiB before libpng refuses the data; the attempts may
    // together inflate as many pixels as one 4096 x 4096 PNG.
    test::TempDir dir;
    const std::string script =
        "import struct, sys, zlib\n"
        "w, n = 2048, 256\n"
        "def chunk(kind, data, broken=False):\n"
        "    crc = zlib.crc32(kind + data) ^ (0xFFFFFFFF if broken else 0)\n"
        "    return struct.pack('>I', len(data)) + kind + data + struct.pack('>I', crc)\n"
        "rows = (b'\\0' + b'\\0\\0\\0\\xff' * w) * w\n"
        "png = (b'\\x89PNG\\r\\n\\x1a\\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', w, w, 8, 6, 0, 0, 0))\n"
        "       + chunk(b'IDAT', zlib.compress(rows, 9), True) + chunk(b'IEND', b''))\n"
        "at = 6 + 16 * n\n"
        "entries = b''.join(struct.pack('<BBBBHHII', 0, 0, 0, 0, 1, 32, len(png) + k, at) for k in range(n))\n"
        "open(sys.argv[1], 'wb').write(struct.pack('<HHH', 0, 1, n) + entries + png + bytes(4 << 20))\n";
    ASSERT_EQ(
        test::runCommand("/usr/bin/python3 -c " + shellQuote(script) + " " + shellQuote((dir / "bomb.ico").string())),
        0);
    const Queried q = queryInChild(dir / "bomb.ico");
    expectQuick(q);
    EXPECT_EQ(q.imagesWithInfo, 256);
    EXPECT_FALSE(q.icon);
}

TEST(HostileIcons, GroupsSharingOneHugeDirectoryStayWithinTheFile)
{
    // 1,000 groups all naming one directory of 65,535 entries: each group is
    // charged the directory's bytes, so only the first has images and the
    // entries of all icons together stay within what the file holds.
    test::TempDir dir;
    const fs::path dll = generate(dir, "groups.dll", "--groups 1000 --entries 65535 --size 32");
    const Queried first = queryInChild(dll, 0);
    expectQuick(first);
    EXPECT_EQ(first.count, 1000);
    EXPECT_EQ(first.imageCount, 65535u);
    EXPECT_TRUE(first.icon);
    const Queried last = queryInChild(dll, 999);
    EXPECT_EQ(last.count, 1000);
    EXPECT_EQ(last.imageCount, 0u);
    EXPECT_FALSE(last.icon);
    EXPECT_EQ(last.icoSize, 0u);

    // A few groups sharing a small directory all have their images.
    const fs::path few = generate(dir, "few.dll", "--groups 3 --entries 10 --size 32");
    const IconSource s = IconSource::open(few.string());
    ASSERT_EQ(s.count(), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(s.images(i).size(), 10u);
        EXPECT_TRUE(s.icon(i));
        EXPECT_EQ(s.originalIco(i).size(), 6 + 16 + 40 + 32 * 32 * 4 + 4 * 32u);
    }
}

TEST(HostileIcons, GroupsSharingOneLongNameStayWithinTheFile)
{
    // 65,535 groups whose names all point at one string of 65,535 CJK
    // characters (196,605 bytes as UTF-8): once 12.8 GB of labels.
    test::TempDir dir;
    const fs::path dll = generate(dir, "names.dll", "--groups 65535 --name-length 65535 --entries 1 --size 16");
    struct Labels {
        int count = 0;
        std::uint64_t first = 0, total = 0;
        bool lastUnnamed = false;
        double seconds = 0;
    };
    std::string error;
    const Labels l = inLimitedChild<Labels>(
        [&] {
            Labels out;
            out.seconds = secondsOf([&] {
                const IconSource s = IconSource::open(dll.string());
                out.count = s.count();
                out.first = s.label(0).size();
                for (int i = 0; i < s.count(); ++i) out.total += s.label(i).size();
                out.lastUnnamed = s.label(s.count() - 1) == "?";
            });
            return out;
        },
        error);
    EXPECT_EQ(error, "");
    EXPECT_LT(l.seconds, kQuick);
    EXPECT_EQ(l.count, 65535);
    EXPECT_EQ(l.first, 65535u * 3); // the name is read in full while the file's size allows
    EXPECT_TRUE(l.lastUnnamed);
    // Each stored UTF-16 unit (2 bytes) is at most 3 bytes of UTF-8; "?" and 65,535 of them.
    EXPECT_LE(l.total, fs::file_size(dll) * 3 / 2 + 65535);
}

TEST(HostileIcons, CommandLineExtractsWithinAGigabyte)
{
    // vextral-cli icons --extract on the 65,535-entry DLL under a 1 GB address
    // space limit (under AddressSanitizer, a resident-size limit instead) and a
    // CPU time limit.
    test::TempDir dir;
    const fs::path dll = generate(dir, "many.dll", "--entries 65535 --size 512");
    fs::create_directory(dir / "out");
    const std::string limit = kAddressSanitizer
                                  ? "export ASAN_OPTIONS=\"${ASAN_OPTIONS:+$ASAN_OPTIONS:}hard_rss_limit_mb=1000\"; "
                                  : "ulimit -v 1000000; ";
    const std::string cpu = "ulimit -t " + std::to_string(kCpuSeconds) + "; ";
    std::string err;
    const int status =
        test::runCommand("(" + limit + cpu + shellQuote(VEXTRAL_CLI) + " icons --extract " +
                             shellQuote((dir / "out").string()) + " " + shellQuote(dll.string()) + " >/dev/null) 2>&1",
                         &err);
    EXPECT_EQ(status, 0) << err;
    const fs::path ico = dir / "out/many.dll_0.ico";
    ASSERT_TRUE(fs::exists(ico)) << err;
    EXPECT_LE(fs::file_size(ico), fs::file_size(dll));
    EXPECT_EQ(fs::file_size(ico), 6 + 16 + kDibBytes);
    EXPECT_EQ(icotoolListing(ico), "--icon --index=1 --width=512 --height=512 --bit-depth=32 --palette-size=0\n");
}

TEST(HostileIcons, EveryIconOfAFileCostsNoMoreThanTheFile)
{
    // 65,535 groups, each naming the one 1 MiB image: harvesting every icon
    // decodes that image once, not once per group.
    test::TempDir dir;
    const fs::path dll = generate(dir, "groups-one-image.dll", "--groups 65535 --entries 1 --size 512");
    struct Harvested {
        int count = 0, icons = 0;
        std::uint32_t lastCentre = 0;
        double seconds = 0;
    };
    std::string error;
    const Harvested h = inLimitedChild<Harvested>(
        [&] {
            Harvested r;
            r.seconds = secondsOf([&] {
                const IconSource s = IconSource::open(dll.string());
                r.count = s.count();
                for (int i = 0; i < r.count; ++i) {
                    if (const auto icon = s.icon(i)) {
                        ++r.icons;
                        r.lastCentre = icon->drawnOver(16, 16, 0);
                    }
                }
            });
            return r;
        },
        error);
    EXPECT_EQ(error, "");
    EXPECT_EQ(h.count, 65535);
    EXPECT_EQ(h.icons, 65535);
    EXPECT_EQ(h.lastCentre, kDibColour);
    EXPECT_LT(h.seconds, 5 * kQuick);

    // Distinct overlapping ranges cannot be shared; what decoding them may
    // read over the file's life is bounded, so the harvest still ends soon.
    const fs::path overlap = generate(dir, "overlap-all.dll", "--groups 2000 --entries 1 --ids 2000 --size 512");
    const Harvested o = inLimitedChild<Harvested>(
        [&] {
            Harvested r;
            r.seconds = secondsOf([&] {
                const IconSource s = IconSource::open(overlap.string());
                r.count = s.count();
                for (int i = 0; i < r.count; ++i) r.icons += s.icon(i) ? 1 : 0;
            });
            return r;
        },
        error);
    EXPECT_EQ(error, "");
    EXPECT_GT(o.icons, 0);
    EXPECT_LT(o.seconds, 5 * kQuick);
}

TEST(HostileIcons, TinyPngsOfHugePicturesShareOneBudgetOfPixels)
{
    // 2,000 icons, each naming the one 2 KB PNG that claims 4096 x 4096 (16 Mi
    // pixels, 64 MiB decoded) by a range a byte longer than the last: distinct
    // images, each once a full decoding. The source's budget of pixels covers
    // a few of them; the others are skipped, listed but without a picture.
    test::TempDir dir;
    struct Harvested {
        int count = 0, icons = 0, listed = 0, pictures = 0;
        double seconds = 0;
    };
    for (const char* kind : {"pe", "ne"}) {
        for (const bool broken : {false, true}) {
            SCOPED_TRACE(std::string(kind) + (broken ? " broken" : ""));
            const fs::path file = generateIcons(dir, std::string(kind) + (broken ? "-broken" : "") + ".bin",
                                                std::string(kind) + (broken ? " --broken" : ""));
            std::string error;
            const Harvested h = inLimitedChild<Harvested>(
                [&] {
                    Harvested r;
                    r.seconds = secondsOf([&] {
                        const IconSource s = IconSource::open(file.string());
                        r.count = s.count();
                        for (int i = 0; i < r.count; ++i) {
                            for (const auto& image : s.images(i)) r.listed += image.info ? 1 : 0;
                            r.icons += s.icon(i) ? 1 : 0;
                            r.pictures += s.imagePicture(i, 0) ? 1 : 0;
                        }
                    });
                    return r;
                },
                error);
            EXPECT_EQ(error, "");
            EXPECT_EQ(h.count, 2000);
            EXPECT_EQ(h.listed, 2000); // every header is fine
            EXPECT_LT(h.seconds, 5 * kQuick);
            EXPECT_EQ(h.pictures, 0); // more pixels than a picture is decoded into whole
            if (broken) {
                EXPECT_EQ(h.icons, 0);
            } else {
                EXPECT_GT(h.icons, 0);
                EXPECT_LT(h.icons, 20);
            }
        }
    }
}

TEST(HostileIcons, ABrokenImageNamedByManyEntriesIsTriedOnceForTheBestImage)
{
    // One good 32 x 32 image and 65,534 entries naming one broken 1024 x 1024
    // PNG: drawn at 256 x 256 the PNG is wanted first, found broken once, and
    // the picture comes from the good image.
    test::TempDir dir;
    const fs::path ico = generateIcons(dir, "many.ico", "ico");
    struct Drawn {
        bool picture = false;
        int width = 0;
        std::uint32_t centre = 0;
        int pictures = 0;
        double seconds = 0, entriesSeconds = 0;
    };
    std::string error;
    const Drawn d = inLimitedChild<Drawn>(
        [&] {
            Drawn r;
            r.seconds = secondsOf([&] {
                const auto picture = exporting::renderBestImage(ico.string(), 0, 256, 256);
                r.picture = picture.has_value();
                if (picture) {
                    r.width = picture->width;
                    r.centre = picture->drawnOver(128, 128, 0);
                }
            });
            // Every entry asked for at its own size: the broken image is decoded once.
            r.entriesSeconds = secondsOf([&] {
                const IconSource s = IconSource::open(ico.string());
                const int entries = static_cast<int>(s.images(0).size());
                for (int e = 0; e < entries; ++e) r.pictures += s.imagePicture(0, e) ? 1 : 0;
            });
            return r;
        },
        error);
    EXPECT_EQ(error, "");
    EXPECT_LT(d.seconds, kQuick);
    EXPECT_LT(d.entriesSeconds, kQuick);
    EXPECT_TRUE(d.picture);
    EXPECT_EQ(d.width, 256);
    EXPECT_EQ(d.centre, kDibColour);
    EXPECT_EQ(d.pictures, 1);
}

TEST(HostileIcons, ASparseAnimatedCursorIsWalkedWithinItsChunkBound)
{
    // 4 GiB, nearly all hole, whose header claims all of it: hundreds of
    // millions of empty chunks, of which a bounded number are looked at.
    test::TempDir dir;
    const fs::path ani = generateIcons(dir, "sparse.ani", "ani");
    ASSERT_EQ(fs::file_size(ani), std::uint64_t {4} << 30);
    struct Opened {
        int count = 0;
        double seconds = 0;
    };
    std::string error;
    const Opened o = inLimitedChild<Opened>(
        [&] {
            Opened r;
            r.seconds = secondsOf([&] { r.count = IconSource::open(ani.string()).count(); });
            return r;
        },
        error);
    EXPECT_EQ(error, "");
    EXPECT_LT(o.seconds, kQuick);
    EXPECT_EQ(o.count, 0);
}

TEST(HostileIcons, CommandLineListsAndHarvestsTinyPngsOfHugePicturesQuickly)
{
    // vextral-cli icons on the 2,000-icon DLL, and harvest of a folder holding
    // only its broken variant with an icon limit no icon ever reaches, each
    // under a 1 GB address space limit and a CPU time limit.
    test::TempDir dir;
    const fs::path dll = generateIcons(dir, "png.dll", "pe");
    fs::create_directory(dir / "folder");
    generateIcons(dir, "folder/broken.dll", "pe --broken");
    generateIcons(dir, "many.ico", "ico");
    test::writeBytes(dir / "Option.ini", {});
    fs::create_directory(dir / "saved");
    const std::string limit = kAddressSanitizer
                                  ? "export ASAN_OPTIONS=\"${ASAN_OPTIONS:+$ASAN_OPTIONS:}hard_rss_limit_mb=1000\"; "
                                  : "ulimit -v 1000000; ";
    const std::string cpu = "ulimit -t " + std::to_string(kCpuSeconds) + "; ";
    const auto run = [&](const std::string& arguments, std::string& output) {
        const auto start = std::chrono::steady_clock::now();
        const int status =
            test::runCommand("(" + limit + cpu + shellQuote(VEXTRAL_CLI) + " " + arguments + ") 2>&1", &output);
        EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 5 * kQuick)
            << arguments;
        return status;
    };
    std::string out;
    EXPECT_EQ(run("icons " + shellQuote(dll.string()), out), 0) << out;
    EXPECT_NE(out.find(": 2000 icons (PE)"), std::string::npos) << out.substr(0, 200);
    EXPECT_NE(out.find("  1999 #2000: "), std::string::npos);
    EXPECT_NE(out.find("no usable image"), std::string::npos);

    const std::string settings = "--settings " + shellQuote((dir / "Option.ini").string()) + " ";
    EXPECT_EQ(run("harvest " + settings + "--types all --icon-limit 5 " + shellQuote((dir / "folder").string()), out),
              0)
        << out;
    // Every icon's best image drawn at 256 x 256 from the 65,534-entry icon file and the DLL.
    EXPECT_EQ(run("harvest " + settings + "--type png --save-all " + shellQuote((dir / "saved").string()) +
                      " --size 256x256 " + shellQuote((dir / "many.ico").string()) + " " + shellQuote(dll.string()),
                  out),
              0)
        << out;
    EXPECT_TRUE(fs::exists(dir / "saved/many.ico_0.png")) << out;
}
