#include "net/MimeTypes.h"

#include "TestSupport.h"

#include <fstream>
#include <gtest/gtest.h>

using namespace vextral::net;
namespace test = vextral::test;

TEST(MimeTypes, TableFilesAndTheFallback)
{
    MimeTypeTable table;
    table.parse("# comment image/fake fak\n"
                "image/bmp\t\t\tbmp dib\r\n"
                "image/x-icon ico # cur\n"
                "\n"
                "   \t  \n"
                "text/plain\n"
                "nonsense bad\n"
                "image/\"quoted\" q\n"
                "/half half\n"
                "image/old png\n"
                "image/png png");
    EXPECT_EQ(table.lookup(".bmp"), "image/bmp");
    EXPECT_EQ(table.lookup("DIB"), "image/bmp");
    EXPECT_EQ(table.lookup("ico"), "image/x-icon");
    EXPECT_EQ(table.lookup("cur"), "") << "after a comment sign";
    EXPECT_EQ(table.lookup("fak"), "");
    EXPECT_EQ(table.lookup("bad"), "") << "not a type";
    EXPECT_EQ(table.lookup("q"), "") << "a type a header cannot carry";
    EXPECT_EQ(table.lookup("half"), "");
    EXPECT_EQ(table.lookup("png"), "image/png") << "a later entry wins";
    EXPECT_EQ(table.size(), 4u);

    EXPECT_EQ(contentTypeExtension("/a.b/star.BMP"), ".BMP");
    EXPECT_EQ(contentTypeExtension("/a.b/README"), "");
    EXPECT_EQ(contentTypeExtension("dir/name."), ".");
    EXPECT_EQ(getContentType("/x/star.BMP", table), "image/bmp");
    EXPECT_EQ(getContentType("/x.bmp/star", table), "application/octet-stream");
    EXPECT_EQ(getContentType("/x/star.", table), "application/octet-stream");
    EXPECT_EQ(getContentType("/x/moon.xyz", table), "application/octet-stream");

    // Files: the user's own table read after the system's overrides it; a
    // missing file adds nothing; an overlong line is skipped.
    test::TempDir dir;
    std::ofstream(dir / "system") << "image/bmp bmp\nimage/gif gif\n";
    std::ofstream(dir / "user") << "image/x-ms-bmp bmp\n"
                                << "image/a " << std::string(10000, 'a') << "\n";
    MimeTypeTable files;
    files.parseFile((dir / "system").string());
    files.parseFile((dir / "missing").string());
    files.parseFile((dir / "user").string());
    EXPECT_EQ(files.lookup("bmp"), "image/x-ms-bmp");
    EXPECT_EQ(files.lookup("gif"), "image/gif");
    EXPECT_EQ(files.size(), 2u);

    // The program's table is the system's mime.types (Debian's media-types).
    EXPECT_EQ(getContentType("icons/star.bmp"), "image/bmp");
}

TEST(ReaderLimits, MimeWordsLinesEntriesAndFileBytes)
{
    const std::string text = "image/png png\ntext/plain txt text\n";
    MimeTypeTable all;
    all.parse(text);
    EXPECT_EQ(all.lookup("png"), "image/png");
    EXPECT_EQ(all.size(), 3u);

    vextral::ReaderLimits shortWords;
    shortWords.mimeWord = 9; // "image/png" fits, "text/plain" does not
    MimeTypeTable words(shortWords);
    words.parse(text);
    EXPECT_EQ(words.lookup("png"), "image/png");
    EXPECT_EQ(words.lookup("txt"), "");
    vextral::ReaderLimits shortLines;
    shortLines.mimeLine = 13;
    MimeTypeTable lines(shortLines);
    lines.parse(text);
    EXPECT_EQ(lines.size(), 1u);
    vextral::ReaderLimits fewEntries;
    fewEntries.mimeEntries = 2;
    MimeTypeTable entries(fewEntries);
    entries.parse(text);
    EXPECT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries.lookup("text"), "");

    test::TempDir dir;
    std::ofstream(dir / "mime.types") << text;
    vextral::ReaderLimits smallFile;
    smallFile.mimeFileBytes = 14; // the first line and its end
    MimeTypeTable file(smallFile);
    file.parseFile((dir / "mime.types").string());
    EXPECT_EQ(file.lookup("png"), "image/png");
    EXPECT_EQ(file.size(), 1u);
}
