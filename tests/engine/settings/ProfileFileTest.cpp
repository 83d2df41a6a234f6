#include "settings/ProfileFile.h"
#include "settings/ColourNames.h"
#include "settings/Settings.h"

#include "TestSupport.h"
#include "core/Error.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

using namespace vextral::settings;
using vextral::test::TempDir;

namespace {

std::string slurp(const std::filesystem::path& p)
{
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void spit(const std::filesystem::path& p, const std::string& text)
{
    std::ofstream out(p, std::ios::binary);
    out << text;
}

} // namespace

TEST(ProfileFile, ReadsByTheFirstOccurrenceWithoutRegardToCase)
{
    TempDir dir;
    spit(dir / "Option.ini", "; a comment line\r\n"
                             "[Internet]\r\n"
                             "  ProxyIp =  proxy.example:8080  \r\n"
                             "ProxyIP=second\r\n"
                             "Connection=0x1F\r\n"
                             "[icon]\r\n"
                             "Jpeg=$40\r\n"
                             "Edit=\r\n"
                             "Broken line without equals\r\n"
                             "[ICON]\r\n"
                             "Jpeg=12\r\n"
                             "Only=in the second\r\n"
                             "[File]\r\n"
                             "Icon Number=1e3\r\n"
                             "File Number=-0x10\r\n"
                             "Neg=-42\r\n"
                             "Huge=4294967296\r\n");
    const ProfileFile ini((dir / "Option.ini").string());
    const auto s = ini.read();
    EXPECT_EQ(s.readString("INTERNET", "proxyip", "x"), "proxy.example:8080");
    EXPECT_EQ(s.readInteger("Internet", "Connection", 20), 31);
    EXPECT_EQ(s.readInteger("Icon", "Jpeg", 86), 64); // the first [icon] counts
    EXPECT_EQ(s.readString("Icon", "Only", "none"), "none");
    EXPECT_EQ(s.readString("Icon", "Edit", "xdg-open"), ""); // present but empty
    EXPECT_EQ(s.readString("Icon", "Missing", "default  "), "default");
    EXPECT_EQ(s.readString("Internet", "ProxyIP", " "), "proxy.example:8080");
    EXPECT_EQ(s.readString("Nowhere", "ProxyIP", " "), "");
    EXPECT_EQ(s.readInteger("File", "Icon Number", 536), 536); // 1e3 is no integer
    EXPECT_EQ(s.readInteger("File", "File Number", 536), 536); // a sign goes with decimal digits only
    EXPECT_EQ(s.readInteger("File", "Neg", 0), -42);
    EXPECT_EQ(s.readInteger("File", "Huge", 7), 7);
    EXPECT_TRUE(s.readBool("File", "Neg", false));
    EXPECT_FALSE(s.readBool("File", "Missing", false));

    // A long value is cut at 2047 characters; a missing file reads as empty.
    spit(dir / "long.ini", "[A]\nk=" + std::string(3000, 'v') + "\n");
    EXPECT_EQ(ProfileFile((dir / "long.ini").string()).read().readString("A", "k", "").size(), 2047u);
    EXPECT_EQ(ProfileFile((dir / "none.ini").string()).read().readInteger("A", "k", 5), 5);
}

TEST(ProfileFile, AByteOrderMarkDoesNotHideTheFirstSection)
{
    TempDir dir;
    const auto path = dir / "Option.ini";
    spit(path, "\xEF\xBB\xBF[Icon]\nJpeg=70\n");
    const ProfileFile ini(path.string());
    EXPECT_EQ(ini.read().readInteger("Icon", "Jpeg", 86), 70);
    // A rewrite keeps the mark, once.
    ini.writeString("Icon", "Jpeg", "71");
    EXPECT_EQ(slurp(path), "\xEF\xBB\xBF[Icon]\nJpeg=71\n");
}

TEST(ProfileFile, WritesInPlaceKeepingLineEndsAndReplacesAtomically)
{
    TempDir dir;
    const auto path = dir / "Option.ini";
    spit(path, "[Icon]\r\nBackground=clRed\r\nJpeg=50\r\n\r\n[File]\r\nExe File=1\r\n");
    const ProfileFile ini(path.string());
    ini.writeString("ICON", "jpeg", "90");            // in place, under the name given
    ini.writeString("Icon", "Edit", "/usr/bin/gimp"); // after the section's last key
    ini.writeString("Internet", "SmtpIp", "127.0.0.1");
    EXPECT_EQ(slurp(path), "[Icon]\r\nBackground=clRed\r\njpeg=90\r\nEdit=/usr/bin/gimp\r\n\r\n[File]\r\nExe File=1\r\n"
                           "[Internet]\r\nSmtpIp=127.0.0.1\r\n");
    ini.eraseSection("file");
    EXPECT_EQ(slurp(path),
              "[Icon]\r\nBackground=clRed\r\njpeg=90\r\nEdit=/usr/bin/gimp\r\n\r\n[Internet]\r\nSmtpIp=127.0.0.1\r\n");

    // Mixed endings in a file of LF lines: a carriage return left before a
    // CR LF ending belongs to its value, and a rewrite keeps it there, as it
    // keeps one in a value written.
    const TempDir other;
    spit(other / "mixed.ini", "[A]\nx=1\ny=32\r\r\nz=3\r\n");
    const ProfileFile mixed((other / "mixed.ini").string());
    ASSERT_EQ(mixed.read().value("A", "y"), "32\r");
    mixed.writeString("A", "w", "ends\r");
    EXPECT_EQ(mixed.read().value("A", "y"), "32\r");
    EXPECT_EQ(mixed.read().value("A", "w"), "ends\r");
    EXPECT_EQ(mixed.read().value("A", "z"), "3");

    // A new file gets LF; a batch is one replacement, leaving no temporary file behind.
    const ProfileFile fresh((dir / "new.ini").string());
    ProfileFile::Batch batch(fresh);
    batch.eraseSection("Icon");
    batch.writeString("Icon", "Background", colourToText(0x004080FF));
    batch.writeInteger("Icon", "Jpeg", 86);
    batch.writeBool("File", "Recycle", true);
    EXPECT_FALSE(std::filesystem::exists(dir / "new.ini"));
    batch.commit();
    EXPECT_EQ(slurp(dir / "new.ini"), "[Icon]\nBackground=$004080FF\nJpeg=86\n[File]\nRecycle=1\n");
    // (Beside each file stays the lock its writers take.)
    std::vector<std::string> files;
    for (const auto& e : std::filesystem::directory_iterator(dir.path())) files.push_back(e.path().filename());
    std::sort(files.begin(), files.end());
    EXPECT_EQ(files, (std::vector<std::string> {"Option.ini", "Option.ini.lock", "new.ini", "new.ini.lock"}));

    // A file that cannot be written: the error names it and nothing changes.
    const ProfileFile nowhere((dir / "no/such/folder/Option.ini").string());
    try {
        nowhere.writeString("A", "b", "c");
        FAIL() << "no error";
    } catch (const vextral::Error& e) {
        EXPECT_EQ(std::string(e.what()), "Unable to write to " + (dir / "no/such/folder/Option.ini").string());
    }
    std::filesystem::create_directory(dir / "folder.ini");
    EXPECT_THROW(ProfileFile((dir / "folder.ini").string()).writeString("A", "b", "c"), vextral::Error);
}

TEST(Colours, NamesAndNumbersBothWays)
{
    for (const char* red : {"clRed", "CLRED", "$000000FF", "255", "0xFF"})
        EXPECT_EQ(colourFromText(red), 0x000000FFu) << red;
    EXPECT_EQ(colourFromText("clBtnFace"), 0x8000000Fu);
    EXPECT_EQ(colourToText(0x000000FF), "clRed");
    EXPECT_EQ(colourToText(0x00FFFFFF), "clWhite");
    EXPECT_EQ(colourToText(0x004080FF), "$004080FF");
    EXPECT_EQ(colourToText(0x80000005), "clWindow");
    EXPECT_EQ(colourToRgb(0x004080FF), 0xFF8040u);
    try {
        colourFromText("reddish");
        FAIL() << "no error";
    } catch (const vextral::Error& e) {
        EXPECT_STREQ(e.what(), "'reddish' is not a valid integer value");
    }
}

TEST(Settings, FirstStartDefaultsAndTheLoadOrder)
{
    TempDir dir;
    const ProfileFile ini((dir / "Option.ini").string());
    Settings s;
    EXPECT_FALSE(s.load(ini));
    EXPECT_EQ(s.background, kWhite);
    EXPECT_EQ(s.jpegQuality, 86);
    EXPECT_EQ(s.editor, "xdg-open");
    EXPECT_EQ(s.fileMask(), "*.exe,*.dll,*.cpl,*.scr,*.icl,*.ocx,*.ico,*.nil,*.bmp");
    EXPECT_TRUE(s.subFolder);
    EXPECT_FALSE(s.recycle);
    EXPECT_FALSE(s.iconLimitOn());
    EXPECT_FALSE(s.fileLimitOn());

    spit(dir / "Option.ini", "[Icon]\nBackground=CLRED\n[File]\nBmp File=0\nExe File=0\nIcon=0\nIcon Number=0x10\n"
                             "File=1\nFile Number=3\nRecycle=1\nSubFolder=0\n");
    EXPECT_FALSE(s.load(ini));
    EXPECT_EQ(s.background, 0x000000FFu);
    EXPECT_EQ(s.fileMask(), "*.dll,*.cpl,*.scr,*.icl,*.ocx,*.ico,*.nil,"); // ends in a comma
    EXPECT_TRUE(s.iconLimitOn());
    EXPECT_EQ(s.iconNumber, 16);
    EXPECT_FALSE(s.fileLimitOn());
    EXPECT_EQ(s.fileNumber, 536); // not read while "Automatic"
    EXPECT_TRUE(s.recycle);
    EXPECT_FALSE(s.subFolder);

    // A background that is no colour: reported, white, and everything else still loads.
    spit(dir / "Option.ini", "[Icon]\nBackground=light pink\nJpeg=70\n[File]\nIcon=0\nIcon Number=10\n");
    Settings fresh;
    EXPECT_EQ(fresh.load(ini), std::optional<std::string>("'light pink' is not a valid integer value"));
    EXPECT_EQ(fresh.background, kWhite);
    EXPECT_EQ(fresh.jpegQuality, 70);
    EXPECT_EQ(fresh.fileMask(), "*.exe,*.dll,*.cpl,*.scr,*.icl,*.ocx,*.ico,*.nil,*.bmp");
    EXPECT_EQ(fresh.iconNumber, 10);

    Settings none;
    none.fileTypes = vextral::FileTypeSet::none();
    EXPECT_EQ(none.fileMask(), "");
}

TEST(ProfileFile, ReadsUpToItsLimit)
{
    TempDir dir;
    const std::string path = (dir / "Option.ini").string();
    std::ofstream(path) << "[Icon]\nSize=32\n[File]\nPath=/far\n";
    EXPECT_EQ(ProfileFile(path).read().readString("File", "Path", "none"), "/far");
    vextral::ReaderLimits low;
    low.profileFileBytes = 15; // the first section only
    const ProfileFile::Snapshot part = ProfileFile(path).read(low);
    EXPECT_EQ(part.readString("Icon", "Size", "none"), "32");
    EXPECT_EQ(part.readString("File", "Path", "none"), "none");
}

// Two programs writing Option.ini at once, each its own keys one write at a
// time: every write reads the file again under the lock, so none of the 300
// keys is lost (without it about a third went), and the file stays whole.
TEST(ProfileFile, TwoProgramsWritingAtOnceKeepAllTheirKeys)
{
    TempDir dir;
    const auto path = dir / "Option.ini";
    spit(path, "[Icon]\nSize=32\n");
    constexpr int kKeys = 150;
    std::vector<pid_t> children;
    for (const char* section : {"First", "Second"}) {
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            int status = 0;
            try {
                const ProfileFile file(path.string());
                for (int i = 0; i < kKeys; ++i) file.writeString(section, "Key" + std::to_string(i), std::to_string(i));
            } catch (...) {
                status = 1;
            }
            ::_exit(status);
        }
        children.push_back(pid);
    }
    for (const pid_t pid : children) {
        int status = -1;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    const auto doc = ProfileFile(path.string()).read();
    int kept = 0;
    for (const char* section : {"First", "Second"}) {
        for (int i = 0; i < kKeys; ++i) kept += doc.value(section, "Key" + std::to_string(i)) == std::to_string(i);
    }
    EXPECT_EQ(kept, 2 * kKeys);
    EXPECT_EQ(doc.readInteger("Icon", "Size", 0), 32);
    EXPECT_TRUE(std::filesystem::is_regular_file(dir / "Option.ini.lock"));
}
