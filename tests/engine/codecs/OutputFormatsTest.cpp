#include "codecs/OutputFormats.h"

#include "TestSupport.h"
#include "codecs/ImageBuffer.h"

#include <gtest/gtest.h>

#include <set>

using namespace vextral;
using namespace vextral::codecs;

TEST(OutputFormats, OneRowPerFormatFoundByNameAndExtension)
{
    std::set<std::string> names;
    for (const OutputFormatRow& row : outputFormats()) {
        EXPECT_TRUE(names.insert(row.name).second) << row.name;
        EXPECT_NE(row.writer, nullptr) << row.name;
        EXPECT_EQ(&outputFormat(row.id), &row);
        EXPECT_EQ(outputFormatNamed(row.name), row.id);
        if (row.writes == Writes::Picture) {
            EXPECT_EQ(pictureFormatForExtension(row.extension), row.id) << row.name;
        }
    }
    // Names and extensions match without regard to case; the original icon is
    // never chosen by extension.
    EXPECT_EQ(outputFormatNamed("Standard-Icon"), OutputFormat::OriginalIcon);
    EXPECT_EQ(outputFormatNamed("jpeg"), std::nullopt);
    EXPECT_EQ(pictureFormatForExtension(".JPEG"), OutputFormat::Jpeg);
    EXPECT_EQ(pictureFormatForExtension("tiff"), OutputFormat::Tiff);
    EXPECT_EQ(pictureFormatForExtension(".ico"), OutputFormat::Ico);
    EXPECT_EQ(pictureFormatForExtension(".jpe"), std::nullopt);
    EXPECT_EQ(pictureFormatForExtension(""), std::nullopt);
    EXPECT_EQ(pictureFormatForExtension("."), std::nullopt);
}

TEST(OutputFormats, SaveDialogEntriesAndWhatEachUserWrites)
{
    std::vector<std::string> filters, extensions;
    for (OutputFormat f : saveFilterFormats()) {
        filters.push_back(outputFormat(f).filterEntry);
        extensions.push_back(outputFormat(f).extension);
    }
    EXPECT_EQ(filters, (std::vector<std::string> {"Bmp File(*.bmp)", "Jpg File(*.jpg)", "Gif File(*.gif)",
                                                  "Pcx File(*.pcx)", "Icon File(*.ico)", "Cur File(*.cur)",
                                                  "Wmf File(*.wmf)", "Tga File(*.tga)", "Png File(*.png)"}));
    EXPECT_EQ(extensions, (std::vector<std::string> {"bmp", "jpg", "gif", "pcx", "ico", "cur", "wmf", "tga", "png"}));

    for (SaveDialogUser user :
         {SaveDialogUser::MainWindow, SaveDialogUser::Editor, SaveDialogUser::Converter, SaveDialogUser::Capture}) {
        EXPECT_EQ(saveFilterChoice(user, 0), std::nullopt);
        EXPECT_EQ(saveFilterChoice(user, 10), std::nullopt);
        for (int i = 1; i <= kSaveFilterCount; ++i) {
            const auto choice = saveFilterChoice(user, i);
            ASSERT_TRUE(choice);
            // The extension the dialog proposes next is always the chosen entry's.
            EXPECT_STREQ(outputFormat(choice->format).extension, extensions[static_cast<std::size_t>(i - 1)].c_str());
        }
    }
    // The icon itself under "Icon File" where there is a harvested icon; a
    // picture by extension where there is none.
    EXPECT_EQ(saveFilterChoice(SaveDialogUser::MainWindow, 5)->format, OutputFormat::OriginalIcon);
    EXPECT_EQ(saveFilterChoice(SaveDialogUser::Editor, 5)->format, OutputFormat::OriginalIcon);
    EXPECT_EQ(saveFilterChoice(SaveDialogUser::Converter, 5)->format, OutputFormat::Ico);
    EXPECT_EQ(saveFilterChoice(SaveDialogUser::Capture, 5)->format, OutputFormat::Ico);

    // The typed name's extension decides; the entry only without one.
    EXPECT_EQ(savedFormat(OutputFormat::Bmp, "/a.b/one.png"), OutputFormat::Png);
    EXPECT_EQ(savedFormat(OutputFormat::Wmf, "x.PNG"), OutputFormat::Png);
    EXPECT_EQ(savedFormat(OutputFormat::Jpeg, "x.jpeg"), OutputFormat::Jpeg);
    EXPECT_EQ(savedFormat(OutputFormat::Png, "x.tiff"), OutputFormat::Tiff);
    EXPECT_EQ(savedFormat(OutputFormat::OriginalIcon, "x.ico"), OutputFormat::OriginalIcon);
    EXPECT_EQ(savedFormat(OutputFormat::Cur, "/a.b/noext"), OutputFormat::Cur);
    EXPECT_EQ(savedFormat(OutputFormat::Gif, "dot."), OutputFormat::Gif);
    EXPECT_EQ(savedFormat(OutputFormat::Bmp, "x.xyz"), std::nullopt);
}

TEST(OutputFormats, SaveAllAndWebPageTypes)
{
    std::vector<std::string> captions, names;
    for (const SaveAllTypeRow& row : saveAllTypes()) {
        captions.push_back(row.caption);
        names.push_back(outputFormat(row.format).name);
    }
    EXPECT_EQ(captions, (std::vector<std::string> {"&Standard Icon", "&Bmp File", "&Jpg File", "&Gif File",
                                                   "&Icon File", "C&ur File", "&Pcx File", "W&mf File", "Png Fi&le",
                                                   "&Tga File", "&Each image (PNG)"}));
    EXPECT_EQ(names, (std::vector<std::string> {"standard-icon", "bmp", "jpg", "gif", "ico", "cur", "pcx", "wmf", "png",
                                                "tga", "each-image"}));
    std::vector<OutputFormat> web(webPageFormats().begin(), webPageFormats().end());
    EXPECT_EQ(web, (std::vector<OutputFormat> {OutputFormat::Bmp, OutputFormat::Jpeg, OutputFormat::Gif}));
}

TEST(OutputFormats, EveryWriterWritesWhatAnIndependentReaderCallsItsFormat)
{
    test::TempDir dir;
    ImageBuffer buffer;
    buffer.picture() = Picture::make(5, 3);
    buffer.clear();
    buffer.picture().setPixel(1, 1, Bgr {10, 20, 200});
    const std::map<OutputFormat, std::string> magick = {
        {OutputFormat::Bmp, "BMP3"},  {OutputFormat::Jpeg, "JPEG"}, {OutputFormat::Gif, "GIF"},
        {OutputFormat::Pcx, "PCX"},   {OutputFormat::Tga, "TGA"},   {OutputFormat::Png, "PNG"},
        {OutputFormat::Tiff, "TIFF"}, {OutputFormat::Ico, "ICO"},   {OutputFormat::Cur, "CUR"}};
    for (const OutputFormatRow& row : outputFormats()) {
        if (row.writes != Writes::Picture) continue;
        // Written by extension, through the table.
        const std::string file = (dir / (std::string("x.") + row.extension)).string();
        buffer.saveToFile(file);
        if (row.id == OutputFormat::Wmf) {
            const auto bytes = test::readBytes(file);
            ASSERT_GE(bytes.size(), 4u);
            EXPECT_EQ(bytes[0], 0xD7); // the placeable metafile key
            EXPECT_EQ(bytes[3], 0x9A);
            continue;
        }
        std::string out;
        ASSERT_EQ(test::runCommand(
                      "identify -format '%m %wx%h\\n' " + test::shellQuote(file) + " 2>/dev/null | head -1", &out),
                  0);
        // Icons and cursors hold standard sides, the smallest 16 x 16 first.
        const bool icon = row.id == OutputFormat::Ico || row.id == OutputFormat::Cur;
        EXPECT_EQ(out, magick.at(row.id) + (icon ? " 16x16\n" : " 5x3\n")) << row.name;
    }
}
