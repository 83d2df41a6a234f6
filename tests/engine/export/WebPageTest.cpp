#include "export/WebPage.h"

#include "TestSupport.h"
#include "codecs/GifReader.h"
#include "core/Error.h"
#include "engine/codecs/PilGif.h"
#include "platform/IconExtractor.h"
#include "settings/ColourNames.h"

#include <gtest/gtest.h>

#include <fstream>

using namespace vextral;
using namespace vextral::exporting;
using vextral::test::fixture;
using vextral::test::readBytes;
using vextral::test::TempDir;
namespace fs = std::filesystem;

namespace {

// A catalogue of n icons: the three icons of library.icl, repeated.
IconCatalogue catalogueOf(int n)
{
    IconCatalogue c;
    const std::string path = fixture("library.icl").string();
    const auto source = platform::IconSource::open(path);
    for (int k = 0; k < n; ++k) c.add(*source.icon(k % source.count()), k % source.count(), path);
    return c;
}

std::string slurp(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string cell(int n, const char* ext = "gif", const char* h = "32", const char* w = "32")
{
    return std::string("<th><img src=\"") + std::to_string(n) + "." + ext + "\" height=" + h + " width=" + w + "></th>";
}

// The page as its lines, each of which must end in CR LF, after the mark.
std::vector<std::string> pageLines(const fs::path& folder)
{
    const std::string text = slurp(folder / "index.htm");
    EXPECT_EQ(text.substr(0, 3), "\xEF\xBB\xBF");
    std::vector<std::string> lines;
    std::size_t at = 3;
    while (at < text.size()) {
        const std::size_t end = text.find("\r\n", at);
        EXPECT_NE(end, std::string::npos) << "a line without CR LF";
        if (end == std::string::npos) break;
        lines.push_back(text.substr(at, end - at));
        at = end + 2;
    }
    return lines;
}

std::vector<std::string> head(const std::string& title = "")
{
    return {"<html>",
            "<head>",
            "<title>" + title + "</title>",
            "<meta name=\"Icon Web Page\" content=\"Vextral 2.0\">",
            "</head>",
            "<table border=\"1\">"};
}

std::vector<std::string> tail() { return {"</table>", "</body>", "</html>"}; }

// Rows of cells 1..count, columns to a row, the last without its row close.
std::vector<std::string> expectedPage(int count, int columns, const char* ext = "gif")
{
    std::vector<std::string> lines = head();
    for (int n = 1; n <= count; ++n) {
        if ((n - 1) % columns == 0) {
            if (n > 1) lines.push_back("</tr>");
            lines.push_back("<tr>");
        }
        lines.push_back(cell(n, ext));
    }
    for (const std::string& l : tail()) lines.push_back(l);
    return lines;
}

WebPageJob jobFor(const TempDir& out)
{
    WebPageJob job;
    job.folder = out.path().string();
    return job;
}

// Width and height of a BMP file's header.
std::pair<int, int> bmpSize(const fs::path& file)
{
    const auto b = readBytes(file);
    auto le32 = [&](std::size_t i) { return int(b.at(i) | b.at(i + 1) << 8 | b.at(i + 2) << 16 | b.at(i + 3) << 24); };
    return {le32(18), le32(22)};
}

} // namespace

TEST(WebPage, SevenPicturesInFiveColumns)
{
    TempDir out;
    const IconCatalogue icons = catalogueOf(7);
    WebPageJob job = jobFor(out);
    std::vector<int> steps;
    job.progress = [&](int p) { steps.push_back(p); };
    EXPECT_EQ(writeWebPage(icons, job), WebPageOutcome::Finished);
    EXPECT_EQ(job.written, 7);
    const std::vector<std::string> expected = {"<html>",
                                               "<head>",
                                               "<title></title>",
                                               "<meta name=\"Icon Web Page\" content=\"Vextral 2.0\">",
                                               "</head>",
                                               "<table border=\"1\">",
                                               "<tr>",
                                               cell(1),
                                               cell(2),
                                               cell(3),
                                               cell(4),
                                               cell(5),
                                               "</tr>",
                                               "<tr>",
                                               cell(6),
                                               cell(7),
                                               "</table>",
                                               "</body>",
                                               "</html>"};
    EXPECT_EQ(pageLines(out.path()), expected);
    EXPECT_EQ(steps, (std::vector<int> {14, 29, 43, 57, 71, 86, 100}));
    for (int n = 1; n <= 7; ++n) EXPECT_TRUE(fs::exists(out / (std::to_string(n) + ".gif"))) << n;
    EXPECT_FALSE(fs::exists(out / "8.gif"));
}

TEST(WebPage, TwelveAndTenPicturesEndWithoutRowClose)
{
    for (const int count : {12, 10}) {
        TempDir out;
        WebPageJob job = jobFor(out);
        EXPECT_EQ(writeWebPage(catalogueOf(count), job), WebPageOutcome::Finished);
        EXPECT_EQ(pageLines(out.path()), expectedPage(count, 5)) << count;
        EXPECT_EQ(job.lines, pageLines(out.path()));
        const std::string gif = slurp(out / "1.gif");
        ASSERT_GE(gif.size(), 10u);
        EXPECT_EQ(gif.substr(0, 6), "GIF89a");
        EXPECT_EQ(gif[6], 32);
        EXPECT_EQ(gif[8], 32);
    }
}

TEST(WebPage, FromThreeToFourWritesTheIconsAtThosePositions)
{
    const IconCatalogue icons = catalogueOf(6);
    TempDir all, part;
    WebPageJob whole = jobFor(all);
    whole.typeIndex = 0;
    writeWebPage(icons, whole);
    WebPageJob job = jobFor(part);
    job.typeIndex = 0;
    job.allIcons = false;
    job.fromText = "3";
    job.toText = "4";
    EXPECT_EQ(writeWebPage(icons, job), WebPageOutcome::Finished);
    EXPECT_EQ(job.written, 2);
    EXPECT_EQ(readBytes(part / "1.bmp"), readBytes(all / "3.bmp"));
    EXPECT_EQ(readBytes(part / "2.bmp"), readBytes(all / "4.bmp"));
    EXPECT_NE(readBytes(part / "1.bmp"), readBytes(part / "2.bmp"));
    EXPECT_FALSE(fs::exists(part / "3.bmp"));
    EXPECT_EQ(pageLines(part.path()), expectedPage(2, 5, "bmp"));
}

TEST(WebPage, AListOfPositionsWritesThoseIconsInItsOrderNumberedByThePage)
{
    const IconCatalogue icons = catalogueOf(6);
    TempDir all, part;
    WebPageJob whole = jobFor(all);
    whole.typeIndex = 0;
    writeWebPage(icons, whole);
    WebPageJob job = jobFor(part);
    job.typeIndex = 0;
    // The list takes the place of the range, whatever From and To say.
    job.allIcons = false;
    job.fromText = "x";
    job.positions = {4, 0, 99, -1, 2};
    std::vector<int> steps;
    job.progress = [&](int p) { steps.push_back(p); };
    EXPECT_EQ(webPageRange(icons, job).count, 3);
    EXPECT_EQ(writeWebPage(icons, job), WebPageOutcome::Finished);
    EXPECT_EQ(job.written, 3);
    EXPECT_EQ(readBytes(part / "1.bmp"), readBytes(all / "5.bmp"));
    EXPECT_EQ(readBytes(part / "2.bmp"), readBytes(all / "1.bmp"));
    EXPECT_EQ(readBytes(part / "3.bmp"), readBytes(all / "3.bmp"));
    EXPECT_NE(readBytes(part / "1.bmp"), readBytes(part / "2.bmp"));
    EXPECT_FALSE(fs::exists(part / "4.bmp"));
    EXPECT_EQ(pageLines(part.path()), expectedPage(3, 5, "bmp"));
    EXPECT_EQ(steps, (std::vector<int> {33, 67, 100}));

    // A list with no icon of the catalogue is refused before anything is written.
    TempDir none;
    job = jobFor(none);
    job.positions = {6, -1};
    try {
        writeWebPage(icons, job);
        ADD_FAILURE() << "accepted";
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "No icon.");
    }
    EXPECT_THROW(webPageRange(icons, job), Error);
    EXPECT_TRUE(fs::is_empty(none.path()));
}

TEST(WebPage, TitlesAreEscapedAndKeptAsUtf8)
{
    const IconCatalogue icons = catalogueOf(1);
    const std::pair<std::string, std::string> cases[] = {
        {"", ""},
        {"<b>Bold</b> & \"quoted\"", "&lt;b&gt;Bold&lt;/b&gt; &amp; &quot;quoted&quot;"},
        {"Ícones 图标", "Ícones 图标"}};
    for (const auto& [title, written] : cases) {
        TempDir out;
        WebPageJob job = jobFor(out);
        job.title = title;
        job.borderText = "1";
        writeWebPage(icons, job);
        const auto lines = pageLines(out.path());
        ASSERT_GT(lines.size(), 2u);
        EXPECT_EQ(lines[2], "<title>" + written + "</title>");
    }
}

TEST(WebPage, SizeOfPicturesAndCells)
{
    TempDir out;
    WebPageJob job = jobFor(out);
    job.typeIndex = 0;
    job.widthText = constantText("48");
    job.heightText = constantText("16");
    job.borderText = "3";
    writeWebPage(catalogueOf(2), job);
    EXPECT_EQ(bmpSize(out / "1.bmp"), std::make_pair(48, 16));
    const auto lines = pageLines(out.path());
    EXPECT_EQ(lines[5], "<table border=\"3\">");
    EXPECT_EQ(lines[7], cell(1, "bmp", "16", "48"));

    job.widthText = constantText("16385");
    EXPECT_THROW(writeWebPage(catalogueOf(2), job), Error);
    job.widthText = constantText("0");
    EXPECT_THROW(writeWebPage(catalogueOf(2), job), Error);
    job.widthText = constantText("wide");
    try {
        writeWebPage(catalogueOf(2), job);
        FAIL();
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "Width: 'wide' is not a valid integer value");
    }
}

TEST(WebPage, CancelKeepsPicturesAndWritesNoPage)
{
    TempDir out;
    WebPageJob job = jobFor(out);
    int pumps = 0;
    job.pump = [&] { ++pumps; };
    job.cancelled = [&] { return pumps == 3; };
    EXPECT_EQ(writeWebPage(catalogueOf(9), job), WebPageOutcome::Cancelled);
    EXPECT_EQ(job.written, 3);
    for (int n = 1; n <= 3; ++n) EXPECT_TRUE(fs::exists(out / (std::to_string(n) + ".gif")));
    EXPECT_FALSE(fs::exists(out / "4.gif"));
    EXPECT_FALSE(fs::exists(out / "index.htm"));
}

TEST(WebPage, PositionsPastTheLastIconArePlainBackground)
{
    TempDir out;
    WebPageJob job = jobFor(out);
    job.typeIndex = 0;
    job.allIcons = false;
    job.fromText = "2";
    job.toText = "4";
    job.background = settings::kWhite;
    writeWebPage(catalogueOf(2), job);
    EXPECT_EQ(job.written, 3);
    const auto bytes = readBytes(out / "3.bmp");
    const auto offset = bytes.at(10) | bytes.at(11) << 8;
    for (std::size_t i = offset; i < bytes.size(); ++i) ASSERT_EQ(bytes[i], 0xFF) << i;
    EXPECT_EQ(pageLines(out.path()).size(), expectedPage(3, 5, "bmp").size());
}

TEST(WebPage, RefusesNoFolderAndRangesWithoutIcons)
{
    TempDir out;
    auto message = [&](const IconCatalogue& icons, WebPageJob job) {
        try {
            writeWebPage(icons, job);
        } catch (const Error& e) {
            return std::string(e.what());
        }
        return std::string("no error");
    };
    WebPageJob job = jobFor(out);
    job.folder = "";
    EXPECT_EQ(message(catalogueOf(3), job), "Please select a directory to save the web file.");
    job = jobFor(out);
    EXPECT_EQ(message(catalogueOf(0), job), "No icon.");
    job.allIcons = false;
    job.fromText = "3";
    job.toText = "2";
    EXPECT_EQ(message(catalogueOf(5), job), "No icon.");
    job.fromText = "6";
    job.toText = "9";
    EXPECT_EQ(message(catalogueOf(5), job), "No icon.");
    job.fromText = "x";
    EXPECT_EQ(message(catalogueOf(5), job), "From: 'x' is not a valid integer value");
    job.fromText = "-3";
    job.toText = "0";
    EXPECT_EQ(message(catalogueOf(5), job), "No icon.");
    EXPECT_TRUE(fs::is_empty(out.path()));

    // A missing folder is made; one that cannot be is refused, naming it,
    // before any picture is drawn.
    job = jobFor(out);
    job.folder = (out / "new" / "gallery").string();
    EXPECT_EQ(message(catalogueOf(1), job), "no error");
    EXPECT_TRUE(fs::exists(out / "new" / "gallery" / "1.gif"));
    EXPECT_TRUE(fs::exists(out / "new" / "gallery" / "index.htm"));
    job = jobFor(out);
    job.folder = (out / "new" / "gallery" / "1.gif" / "below").string();
    EXPECT_EQ(message(catalogueOf(1), job), "Cannot use folder " + job.folder + ": Not a directory");
}

// The GIF pictures of a gallery over white: the page is white, and so must
// the pictures' background be, exactly; the icons' own colours (fewer than
// the table holds) are kept as they are.
TEST(WebPage, GifPicturesKeepTheirColoursOverWhite)
{
    TempDir out;
    WebPageJob job = jobFor(out);
    job.allIcons = false;
    job.fromText = "1";
    job.toText = "4"; // the fourth is past the last icon: background alone
    job.background = settings::kWhite;
    // Icons with clear parts (multi.ico's border and ring, mask.ico's
    // clear pixels) and an opaque one.
    IconCatalogue catalogue;
    for (const char* name : {"multi.ico", "mask.ico", "library.icl"}) {
        const std::string path = fixture(name).string();
        catalogue.add(*platform::IconSource::open(path).icon(0), 0, path);
    }
    ASSERT_EQ(writeWebPage(catalogue, job), WebPageOutcome::Finished);
    for (int n = 1; n <= 4; ++n) {
        SCOPED_TRACE(n);
        codecs::ImageBuffer drawn;
        drawn.setBackground(settings::kWhite);
        if (n <= 3) {
            drawn.drawIcon(catalogue.image(n - 1));
        } else {
            drawn.picture() = codecs::Picture::make(32, 32);
            drawn.clear();
        }
        const fs::path file = out / (std::to_string(n) + ".gif");
        codecs::ImageBuffer ours;
        ASSERT_TRUE(codecs::readGifFile(ours, file.string()).ok());
        const test::PilImage pil = test::pilRead(file);
        ASSERT_EQ(ours.picture().width, 32);
        ASSERT_EQ(pil.width, 32);
        ASSERT_EQ(pil.height, 32);
        int white = 0, wrong = 0, wrongInPil = 0;
        for (int y = 0; y < 32; ++y) {
            for (int x = 0; x < 32; ++x) {
                const codecs::Bgr want = drawn.picture().pixel(x, y);
                white += want.rgb() == 0xFFFFFF;
                wrong += ours.picture().pixel(x, y) != want;
                wrongInPil += pil.at(x, y) != want.rgb();
            }
        }
        if (n != 3) {
            EXPECT_GT(white, 0) << "the background shows";
        }
        EXPECT_EQ(wrong, 0);
        EXPECT_EQ(wrongInPil, 0);
    }
}

TEST(WebPage, PagePathJoinsWithSlash)
{
    EXPECT_EQ(webPagePath("/tmp/out"), "/tmp/out/index.htm");
    EXPECT_EQ(webPagePath("/tmp/out/"), "/tmp/out/index.htm");
}

namespace {

// The path of a Chromium that can run here; empty when there is none.
std::string chromium()
{
    for (const char* name : {"chromium", "chromium-browser", "google-chrome"}) {
        std::string path;
        if (test::runCommand(std::string("command -v ") + name + " 2>/dev/null", &path) == 0 && !path.empty()) {
            while (!path.empty() && (path.back() == '\n' || path.back() == '\r')) path.pop_back();
            return path;
        }
    }
    return {};
}

// Pixels of the screenshot of page (headless Chromium, 480 x 240) that are
// red (the GIF palette may round the background's red a little); -1 when the browser or the count failed.
int redPixelsShown(const std::string& browser, const fs::path& page, const TempDir& scratch)
{
    const fs::path shot = scratch / "shot.png";
    fs::remove(shot);
    const std::string command =
        test::shellQuote(browser) + " --headless --no-sandbox --disable-gpu --hide-scrollbars --user-data-dir=" +
        test::shellQuote((scratch / "profile").string()) +
        " --window-size=480,240 --virtual-time-budget=10000 --screenshot=" + test::shellQuote(shot.string()) + " " +
        test::shellQuote("file://" + page.string()) + " >/dev/null 2>&1";
    if (test::runCommand("timeout 60 " + command) != 0 || !fs::exists(shot)) return -1;
    std::string out;
    const char* script = "import sys\nfrom PIL import Image\nim = Image.open(sys.argv[1]).convert('RGB')\n"
                         "print(sum(1 for p in im.getdata() if p[0] >= 200 and p[1] < 60 and p[2] < 60))\n";
    if (test::runCommand("/usr/bin/python3 -c " + test::shellQuote(script) + " " + test::shellQuote(shot.string()),
                         &out) != 0) {
        return -1;
    }
    return std::atoi(out.c_str());
}

} // namespace

// The gallery as a browser shows it: two positions past the last icon give
// plain pictures of the (red) background, 40 x 40 each; without the picture
// files the page shows no red at all.
TEST(WebPage, BrowserShowsThePictures)
{
    const std::string browser = chromium();
    if (browser.empty()) GTEST_SKIP() << "no chromium here (apt-get install chromium) to open the written page";
    TempDir out, scratch;
    WebPageJob job = jobFor(out);
    job.title = "Galerie d'icônes";
    job.allIcons = false;
    job.fromText = "1";
    job.toText = "4";
    job.widthText = job.heightText = constantText("40");
    job.columnsText = [] { return std::string("4"); };
    job.background = *settings::colourFromName("clRed");
    ASSERT_EQ(writeWebPage(catalogueOf(2), job), WebPageOutcome::Finished);
    // A loaded machine may take the screenshot before the pictures are
    // painted: one more try before the count counts.
    int shown = redPixelsShown(browser, out / "index.htm", scratch);
    if (shown == 0) shown = redPixelsShown(browser, out / "index.htm", scratch);
    if (shown < 0) GTEST_SKIP() << "chromium at " << browser << " could not take a screenshot here";
    EXPECT_GE(shown, 2 * 40 * 40);
    for (int n = 1; n <= 4; ++n) fs::remove(out / (std::to_string(n) + ".gif"));
    EXPECT_EQ(redPixelsShown(browser, out / "index.htm", scratch), 0);
}

// The size is read for every picture and the column count for every row, so
// what is typed during a run counts from the next picture or row on.
TEST(WebPage, SizeAndColumnsAreReadAsTheRunGoes)
{
    TempDir out;
    WebPageJob job = jobFor(out);
    job.typeIndex = 0;
    int pictures = 0;
    job.pump = [&] { ++pictures; };
    job.widthText = [&] { return std::string(pictures < 2 ? "32" : "20"); };
    job.columnsText = [&] { return std::string(pictures < 2 ? "2" : "3"); };
    writeWebPage(catalogueOf(5), job);
    EXPECT_EQ(bmpSize(out / "2.bmp"), std::make_pair(32, 32));
    EXPECT_EQ(bmpSize(out / "3.bmp"), std::make_pair(20, 32));
    const auto lines = pageLines(out.path());
    const std::vector<std::string> table(lines.begin() + 6, lines.end());
    EXPECT_EQ(table, (std::vector<std::string> {"<tr>", cell(1, "bmp"), cell(2, "bmp"), "</tr>", "<tr>",
                                                cell(3, "bmp", "32", "20"), cell(4, "bmp", "32", "20"),
                                                cell(5, "bmp", "32", "20"), "</table>", "</body>", "</html>"}));
}

TEST(WebPage, AHarvestedFileInTheFolderIsNeverWrittenOver)
{
    // A bitmap harvested from the very folder the gallery goes to, named as
    // the gallery's second picture would be.
    TempDir out;
    const fs::path input = out.path() / "2.bmp";
    fs::copy_file(fixture("small8.bmp"), input);
    const std::string before = slurp(input);
    IconCatalogue c;
    const auto bitmap = platform::IconSource::open(input.string());
    ASSERT_EQ(bitmap.count(), 1);
    const auto library = platform::IconSource::open(fixture("library.icl").string());
    c.add(*library.icon(0), 0, fixture("library.icl").string());
    c.add(*bitmap.icon(0), 0, input.string());
    c.add(*library.icon(1), 1, fixture("library.icl").string());

    WebPageJob job = jobFor(out);
    job.typeIndex = 0; // Bmp
    ASSERT_EQ(writeWebPage(c, job), WebPageOutcome::Finished);
    EXPECT_EQ(slurp(input), before);
    EXPECT_TRUE(fs::exists(out.path() / "2 (2).bmp"));
    const std::vector<std::string> lines = pageLines(out.path());
    EXPECT_NE(std::find(lines.begin(), lines.end(), cell(1, "bmp")), lines.end());
    EXPECT_NE(std::find(lines.begin(), lines.end(), "<th><img src=\"2%20(2).bmp\" height=32 width=32></th>"),
              lines.end());
    EXPECT_NE(std::find(lines.begin(), lines.end(), cell(3, "bmp")), lines.end());
}
