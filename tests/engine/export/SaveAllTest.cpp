#include "export/SaveAll.h"

#include "TestSupport.h"
#include "core/Error.h"
#include "platform/IconExtractor.h"

#include <gtest/gtest.h>

using namespace vextral;
using namespace vextral::exporting;
using namespace vextral::codecs;
using vextral::test::fixture;
using vextral::test::readBytes;
using vextral::test::TempDir;
namespace fs = std::filesystem;

namespace {

// A catalogue of n icons: the icons of library.icl (3) and multi.ico, repeated.
IconCatalogue catalogueOf(int n, const std::string& dllPath)
{
    IconCatalogue c;
    const auto source = platform::IconSource::open(dllPath);
    for (int k = 0; k < n; ++k) c.add(*source.icon(k % source.count()), k % source.count(), dllPath);
    return c;
}

std::string pil(const std::string& script, const fs::path& file)
{
    std::string out;
    EXPECT_EQ(test::runCommand(
                  "/usr/bin/python3 -c " + test::shellQuote(script) + " " + test::shellQuote(file.string()), &out),
              0);
    return out;
}

} // namespace

TEST(SaveAll, NamesByFileAndIndexOrByNumber)
{
    const IconRecord rec {3, "/opt/tools/app.exe"};
    EXPECT_EQ(saveAllName({true, ""}, rec, 1, OutputFormat::Bmp), "app.exe_3.bmp");
    EXPECT_EQ(saveAllName({false, ""}, rec, 1, OutputFormat::Bmp), "Icon1.bmp");
    EXPECT_EQ(saveAllName({false, "Icon"}, rec, 12, OutputFormat::OriginalIcon), "Icon12.ico");
    EXPECT_EQ(saveAllName({false, "my "}, rec, 7, OutputFormat::Wmf), "my 7.wmf");
    // Only "/" separates folders: a ":" is part of a Linux file name.
    EXPECT_EQ(saveAllName({true, ""}, {0, "/data/a:b.dll"}, 1, OutputFormat::Png), "a:b.dll_0.png");

    TempDir out;
    IconCatalogue twelve = catalogueOf(12, fixture("library.icl").string());
    SaveAllJob job;
    job.naming = {false, ""};
    job.format = OutputFormat::OriginalIcon;
    std::vector<int> steps;
    job.progress = [&](int p) { steps.push_back(p); };
    EXPECT_EQ(saveAll(twelve, out.path().string(), job), 12);
    EXPECT_EQ(job.naming.prefix, "Icon");
    for (int k = 1; k <= 12; ++k) EXPECT_TRUE(fs::exists(out / ("Icon" + std::to_string(k) + ".ico"))) << k;
    EXPECT_EQ(steps.back(), 100);

    // Eight icons move the gauge 12, 25, 38, 50, 62, 75, 88, 100.
    steps.clear();
    IconCatalogue eight = catalogueOf(8, fixture("library.icl").string());
    saveAll(eight, out.path().string(), job);
    EXPECT_EQ(steps, (std::vector<int> {12, 25, 38, 50, 62, 75, 88, 100}));
}

TEST(SaveAll, StandardIconsKeepTheirSourceOthersAreResizedOverWhite)
{
    TempDir out;
    const std::string dll = fixture("icons64.dll").string();
    IconCatalogue c;
    const auto source = platform::IconSource::open(dll);
    c.add(*source.icon(1), 1, dll); // mask.ico: transparent top-left block
    SaveAllJob job;
    saveAll(c, out.path().string(), job);
    EXPECT_EQ(test::readBytes(out / "icons64.dll_1.ico"), test::readBytes(fixture("mask.ico")));

    // 48 x 24, white where the icon is transparent.
    job.widthText = [] { return std::string("48"); };
    job.heightText = [] { return std::string(" 24"); }; // the dialog trims; the engine takes what it gets
    for (OutputFormat type : {OutputFormat::Png, OutputFormat::Jpeg, OutputFormat::Ico, OutputFormat::Cur}) {
        job.format = type;
        job.heightText = [] { return std::string("24"); };
        saveAll(c, out.path().string(), job);
        const fs::path file = out / (std::string("icons64.dll_1") + std::string(".") + outputFormat(type).extension);
        // An icon or cursor holds it fitted into 48 x 48, 12 rows down.
        const bool icon = type == OutputFormat::Ico || type == OutputFormat::Cur;
        EXPECT_EQ(pil(std::string("import sys\nfrom PIL import Image\nim = Image.open(sys.argv[1])\n") +
                          (icon ? "print(im.size, im.convert('RGB').getpixel((1, 13)) > (245, 245, 245))\n"
                                : "print(im.size, im.convert('RGB').getpixel((1, 1)) > (245, 245, 245))\n"),
                      file),
                  icon ? "(48, 48) True\n" : "(48, 24) True\n")
            << std::string(".") + outputFormat(type).extension;
    }
}

TEST(SaveAll, BadSizesAndFoldersStopTheRun)
{
    TempDir out;
    IconCatalogue c = catalogueOf(3, fixture("library.icl").string());
    SaveAllJob job;
    job.format = OutputFormat::Png;
    job.widthText = [] { return std::string("4O"); };
    try {
        saveAll(c, out.path().string(), job);
        FAIL();
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "Width: '4O' is not a valid integer value");
    }
    EXPECT_TRUE(fs::is_empty(out.path())); // stopped before the first file

    // A width of 0 makes an empty picture: the writers' error stops the run at the first icon.
    job.widthText = [] { return std::string("0"); };
    EXPECT_THROW(saveAll(c, out.path().string(), job), Error);
    EXPECT_TRUE(fs::is_empty(out.path()));
    // A negative side keeps the aspect ratio from the other.
    job.widthText = [] { return std::string("-1"); };
    job.heightText = [] { return std::string("16"); };
    EXPECT_EQ(saveAll(c, out.path().string(), job), 3);
    EXPECT_EQ(
        pil("import sys\nfrom PIL import Image\nprint(Image.open(sys.argv[1]).size)\n", out / "library.icl_0.png"),
        "(16, 16)\n");

    EXPECT_THROW(saveAll(c, "", job), Error);
    EXPECT_THROW(saveAll(c, (out / "missing/folder").string(), job), Error);
}

TEST(SaveAll, NothingIsOverwrittenWithinARunAndCountsAreOfFilesWritten)
{
    TempDir src, out;
    // Two app.dll files in different folders: the same names, icon by icon.
    fs::create_directories(src / "a");
    fs::create_directories(src / "b");
    fs::copy_file(fixture("icons32.dll"), src / "a/app.dll");
    fs::copy_file(fixture("icons64.dll"), src / "b/app.dll");
    IconCatalogue c;
    for (const char* folder : {"a", "b"}) {
        const std::string path = (src / folder / "app.dll").string();
        const auto source = platform::IconSource::open(path);
        for (int i = 0; i < 2; ++i) c.add(*source.icon(i), i, path);
    }
    SaveAllJob job;
    EXPECT_EQ(saveAll(c, out.path().string(), job), 4);
    EXPECT_EQ(job.renamed, 2);
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(out.path())) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names,
              (std::vector<std::string> {"app.dll_0 (2).ico", "app.dll_0.ico", "app.dll_1 (2).ico", "app.dll_1.ico"}));
    EXPECT_EQ(readBytes(out / "app.dll_0 (2).ico"), readBytes(fixture("multi.ico"))); // icons64.dll's first icon

    // A failure partway: what was written before it is counted.
    TempDir out2;
    fs::create_directory(out2 / "app.dll_1.ico"); // a folder where the second file goes
    EXPECT_THROW(saveAll(c, out2.path().string(), job), Error);
    EXPECT_EQ(job.written, 1);
}

TEST(SaveAll, PrefixesStayInTheFolderAndSizesAreCheckedBeforeAnyFile)
{
    TempDir out;
    fs::create_directory(out / "sub");
    IconCatalogue c = catalogueOf(2, fixture("library.icl").string());
    SaveAllJob job;
    job.naming = {false, "../x"};
    EXPECT_THROW(saveAll(c, (out / "sub").string(), job), Error);
    EXPECT_THROW(checkSaveAllPrefix("a/b"), Error);
    EXPECT_NO_THROW(checkSaveAllPrefix("my icon "));
    EXPECT_TRUE(fs::is_empty(out / "sub"));
    EXPECT_FALSE(fs::exists(out / "x1.ico"));

    // A size above the limit: one clear message naming the size and the limit,
    // before any memory is taken or any file made.
    job.naming = {true, ""};
    job.format = OutputFormat::Png;
    for (const char* size : {"100000", "2147483647", "16385"}) {
        job.widthText = [size] { return std::string(size); };
        job.heightText = [] { return std::string("1"); };
        try {
            saveAll(c, out.path().string(), job);
            ADD_FAILURE() << size;
        } catch (const Error& e) {
            EXPECT_EQ(std::string(e.what()), std::string("The picture size ") + size +
                                                 " x 1 is too large: each side can be at most 16384 pixels");
        }
    }
    // A negative side that the other makes huge is caught as well.
    job.widthText = [] { return std::string("-1"); };
    job.heightText = [] { return std::string("65535"); };
    EXPECT_THROW(saveAll(c, out.path().string(), job), Error);
    EXPECT_EQ(job.written, 0);
    EXPECT_EQ(std::distance(fs::directory_iterator(out.path()), fs::directory_iterator()), 1); // sub alone
}

TEST(SaveAll, AListSavesThoseIconsNamedByTheirCataloguePositions)
{
    TempDir out;
    const IconCatalogue twelve = catalogueOf(12, fixture("library.icl").string());
    SaveAllJob job;
    job.naming = {false, ""};
    job.positions = {6, 1, 40, -1, 9};
    std::vector<int> steps;
    job.progress = [&](int p) { steps.push_back(p); };
    EXPECT_EQ(saveAll(twelve, out.path().string(), job), 3);
    EXPECT_EQ(job.total, 3);
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(out.path())) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string> {"Icon10.ico", "Icon2.ico", "Icon7.ico"}));
    EXPECT_EQ(steps, (std::vector<int> {33, 67, 100}));
    // Icon 7 is library.icl's first icon, icon 2 its second.
    TempDir whole;
    SaveAllJob every;
    every.naming = {false, ""};
    saveAll(twelve, whole.path().string(), every);
    EXPECT_EQ(readBytes(out / "Icon7.ico"), readBytes(whole / "Icon1.ico"));
    EXPECT_EQ(readBytes(out / "Icon2.ico"), readBytes(whole / "Icon2.ico"));

    // Named by file, two listed icons of one name: the later one is renamed.
    TempDir byFile;
    job = {};
    job.positions = {3, 1, 0};
    EXPECT_EQ(saveAll(twelve, byFile.path().string(), job), 3);
    EXPECT_EQ(job.renamed, 1);
    for (const char* name : {"library.icl_0.ico", "library.icl_1.ico", "library.icl_0 (2).ico"})
        EXPECT_TRUE(fs::exists(byFile / name)) << name;

    // A list with no icon of the catalogue is refused before any file is written.
    TempDir none;
    job = {};
    job.positions = {12, -3};
    try {
        saveAll(twelve, none.path().string(), job);
        ADD_FAILURE() << "accepted";
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "No icon.");
    }
    EXPECT_EQ(job.written, 0);
    EXPECT_TRUE(fs::is_empty(none.path()));

    // Cancelled after the first file of the list: the run stops there.
    TempDir stopped;
    job = {};
    job.positions = {2, 5, 8};
    job.cancelled = [] { return true; };
    EXPECT_EQ(saveAll(twelve, stopped.path().string(), job), 1);
    EXPECT_TRUE(job.stopped);
    EXPECT_EQ(job.total, 3);
}

TEST(SaveAll, AListKeepsEveryHarvestedFileFromHarmAlsoThoseOfIconsNotListed)
{
    // Icon 1 is Icon2.ico itself, harvested; the list saves only icon 2 of
    // library.icl, whose numbered name is that file's.
    TempDir folder;
    fs::copy_file(fixture("tie.ico"), folder / "Icon2.ico");
    IconCatalogue c;
    const std::string own = (folder / "Icon2.ico").string(), icl = fixture("library.icl").string();
    c.add(*platform::IconSource::open(own).icon(0), 0, own);
    c.add(*platform::IconSource::open(icl).icon(1), 1, icl);
    SaveAllJob job;
    job.naming = {false, ""};
    job.positions = {1};
    EXPECT_EQ(saveAll(c, folder.path().string(), job), 1);
    EXPECT_EQ(job.renamedForInputs, 1);
    EXPECT_EQ(readBytes(folder / "Icon2.ico"), readBytes(fixture("tie.ico")));
    EXPECT_TRUE(fs::exists(folder / "Icon2 (2).ico"));
}
