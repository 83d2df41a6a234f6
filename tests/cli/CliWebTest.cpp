#include "cli/CliWeb.h"

#include "TestSupport.h"
#include "export/WebPage.h"
#include "platform/IconExtractor.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

using vextral::cli::runWeb;
using vextral::test::fixture;
using vextral::test::readBytes;
using vextral::test::TempDir;
namespace fs = std::filesystem;

namespace {

struct Result {
    int status;
    std::string out, err;
};

Result web(std::vector<std::string> args, const TempDir& home)
{
    const fs::path ini = home / "Option.ini";
    std::ofstream(ini, std::ios::app).flush();
    args.insert(args.begin(), {"--settings", ini.string()});
    std::ostringstream out, err;
    const int status = runWeb(args, out, err, false);
    return {status, out.str(), err.str()};
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

TEST(CliWeb, UsageErrors)
{
    TempDir home, out;
    const std::string icl = fixture("library.icl").string();
    const std::vector<std::vector<std::string>> bad = {{icl},
                                                       {"--out", out.path().string()},
                                                       {icl, "--out", out.path().string(), "--type", "png"},
                                                       {icl, "--out", out.path().string(), "--columns", "0"},
                                                       {icl, "--out", out.path().string(), "--size", "20000x5"},
                                                       {icl, "--out", out.path().string(), "--size", "0x5"},
                                                       {icl, "--out", out.path().string(), "--from", "2"},
                                                       {icl, "--out", out.path().string(), "--border", "x"},
                                                       {icl, "--out", ""}};
    for (const auto& args : bad) {
        const Result r = web(args, home);
        EXPECT_EQ(r.status, 2) << args.back();
        EXPECT_FALSE(r.err.empty());
    }
    EXPECT_TRUE(fs::is_empty(out.path()));
    EXPECT_EQ(web({"--help"}, home).status, 0);
}

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
