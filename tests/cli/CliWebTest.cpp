#include "cli/CliWeb.h"

#include "TestSupport.h"
#include "export/WebPage.h"
#include "platform/IconExtractor.h"
#include "support/CliRun.h"

#include <gtest/gtest.h>

#include <fstream>

using vextral::cli::runWeb;
using vextral::test::fixture;
using vextral::test::readBytes;
using vextral::test::TempDir;
namespace fs = std::filesystem;

namespace {

using Result = vextral::test::CliResult;

Result web(const std::vector<std::string>& args, const TempDir& home)
{
    return vextral::test::runCliIn(home, runWeb, args);
}

std::string slurp(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The gallery the engine writes for the icons of library.icl with the job's settings.
std::string enginePage(vextral::exporting::WebPageJob job, const TempDir& out)
{
    vextral::IconCatalogue c;
    const std::string path = fixture("library.icl").string();
    const auto source = vextral::platform::IconSource::open(path);
    for (int k = 0; k < source.count(); ++k) c.add(*source.icon(k), k, path);
    job.folder = out.path().string();
    vextral::exporting::writeWebPage(c, job);
    return slurp(out / "index.htm");
}

} // namespace

TEST(CliWeb, WritesTheGalleryAsTheEngineDoes)
{
    TempDir home, out, reference;
    const fs::path dir = out / "gallery";
    const Result r = web({fixture("library.icl").string(), "--out", dir.string(), "--title", "My <icons>", "--columns",
                          "2", "--type", "bmp", "--size", "48x16", "--border", "0"},
                         home);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("Wrote 3 pictures and " + dir.string() + "/index.htm"), std::string::npos) << r.out;
    vextral::exporting::WebPageJob job;
    job.title = "My <icons>";
    job.columnsText = [] { return std::string("2"); };
    job.typeIndex = 0;
    job.widthText = vextral::exporting::constantText("48");
    job.heightText = vextral::exporting::constantText("16");
    job.borderText = "0";
    EXPECT_EQ(slurp(dir / "index.htm"), enginePage(job, reference));
    EXPECT_NE(slurp(dir / "index.htm").find("<title>My &lt;icons&gt;</title>\r\n"), std::string::npos);
    for (int n = 1; n <= 3; ++n) {
        const std::string name = std::to_string(n) + ".bmp";
        EXPECT_EQ(readBytes(dir / name), readBytes(reference / name)) << name;
    }
}

TEST(CliWeb, RangeAndDefaults)
{
    TempDir home, out;
    Result r = web({fixture("library.icl").string(), "--out", out.path().string(), "--from", "2", "--to", "3"}, home);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(fs::exists(out / "1.gif"));
    EXPECT_TRUE(fs::exists(out / "2.gif"));
    EXPECT_FALSE(fs::exists(out / "3.gif"));
    const std::string page = slurp(out / "index.htm");
    EXPECT_NE(page.find("<table border=\"1\">\r\n<tr>\r\n<th><img src=\"1.gif\" height=32 width=32></th>\r\n"
                        "<th><img src=\"2.gif\" height=32 width=32></th>\r\n</table>\r\n"),
              std::string::npos)
        << page;

    r = web({fixture("library.icl").string(), "--out", out.path().string(), "--from", "5", "--to", "9"}, home);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("vextral-cli web: No icon."), std::string::npos) << r.err;
}

// A call that is refused before anything is harvested: "@icl" stands for
// library.icl, "%out" for the test's output folder.
class CliWebUsage : public testing::TestWithParam<std::vector<std::string>> {};

TEST_P(CliWebUsage, IsRefusedBeforeAnythingIsWritten)
{
    TempDir home, out;
    std::vector<std::string> args;
    for (const std::string& a : GetParam())
        args.push_back(a == "@icl" ? fixture("library.icl").string() : a == "%out" ? out.path().string() : a);
    const Result r = web(args, home);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("Run 'vextral-cli web --help' for its options."), std::string::npos) << r.err;
    EXPECT_TRUE(fs::is_empty(out.path()));
}

INSTANTIATE_TEST_SUITE_P(Cases, CliWebUsage,
                         testing::Values(std::vector<std::string> {"@icl"}, std::vector<std::string> {"--out", "%out"},
                                         std::vector<std::string> {"@icl", "--out", "%out", "--type", "png"},
                                         std::vector<std::string> {"@icl", "--out", "%out", "--columns", "0"},
                                         std::vector<std::string> {"@icl", "--out", "%out", "--size", "20000x5"},
                                         std::vector<std::string> {"@icl", "--out", "%out", "--size", "0x5"},
                                         std::vector<std::string> {"@icl", "--out", "%out", "--from", "2"},
                                         std::vector<std::string> {"@icl", "--out", "%out", "--border", "x"},
                                         std::vector<std::string> {"@icl", "--out", ""}));

TEST(CliWeb, Help) { EXPECT_EQ(web({"--help"}, TempDir()).status, 0); }

TEST(CliWeb, MissingSourceAndUnwritableFolder)
{
    TempDir home, out;
    Result r = web({(out / "nothing.dll").string(), "--out", out.path().string()}, home);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("No icon."), std::string::npos) << r.err;
    const fs::path file = out / "plain";
    std::ofstream(file) << "x";
    r = web({fixture("library.icl").string(), "--out", file.string()}, home);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("cannot use folder"), std::string::npos) << r.err;
}
