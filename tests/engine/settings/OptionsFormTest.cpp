#include "settings/OptionsForm.h"
#include "settings/Settings.h"

#include "TestSupport.h"
#include "core/Error.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

using namespace vextral::settings;
using vextral::FileType;
using vextral::test::TempDir;

namespace {

std::string text(const std::filesystem::path& p)
{
    const auto bytes = vextral::test::readBytes(p);
    return {bytes.begin(), bytes.end()};
}

void write(const std::filesystem::path& p, const std::string& t)
{
    vextral::test::writeBytes(p, std::vector<std::uint8_t>(t.begin(), t.end()));
}

// The message of the Error that f raises; empty when it raises none.
template <typename F>
std::string errorOf(F f)
{
    try {
        f();
    } catch (const vextral::Error& e) {
        return e.what();
    }
    return {};
}

// The File section written by a form loaded from nothing, but for the keys of the two quantity groups.
const std::string kTypes =
    "Exe File=1\nDll File=1\nCpl File=1\nScr File=1\nIcl File=1\nOcx File=1\nIco File=1\nNil File=1\nBmp File=1\n"
    "Res File=0\nIcns File=0\n";

} // namespace

TEST(OptionsForm, LoadsTheDialogsStartValuesWithoutAFile)
{
    TempDir dir;
    OptionsForm f;
    EXPECT_FALSE(f.load(ProfileFile((dir / "Option.ini").string())));
    EXPECT_EQ(f.background, kWhite);
    EXPECT_EQ(f.editor, kDefaultEditor);
    EXPECT_EQ(f.jpegQuality, 86);
    EXPECT_EQ(f.fileTypes, vextral::FileTypeSet());
    EXPECT_TRUE(f.icons.automatic);
    EXPECT_FALSE(f.icons.upTo);
    EXPECT_EQ(f.icons.number, "");
    EXPECT_TRUE(f.files.automatic);
    EXPECT_FALSE(f.files.upTo);
    EXPECT_EQ(f.files.number, "");
    EXPECT_TRUE(f.subFolder);
    EXPECT_TRUE(f.recycle); // the dialog's default, unlike the main window's
    EXPECT_FALSE(f.internet);

    const InternetOptions net = InternetOptions::load(ProfileFile((dir / "Option.ini").string()));
    EXPECT_EQ(net.smtp, "");
    EXPECT_EQ(net.replyTo, "");
    EXPECT_EQ(net.connection, "20");
    EXPECT_FALSE(net.proxy);
    EXPECT_EQ(net.proxyIp, "");
    EXPECT_EQ(net.proxyPort, "");
}

TEST(OptionsForm, LoadingUpToInOneGroupSetsTheOtherToAutomatic)
{
    TempDir dir;
    const ProfileFile ini((dir / "Option.ini").string());

    // Icon "Up to" alone: its limit is loaded as text, and the file group goes back to Automatic.
    write(dir / "Option.ini", "[File]\nIcon=0\nIcon No=1\nIcon Number=0x20\nFile=0\nFile No=0\nFile Number=7\n");
    OptionsForm a;
    a.load(ini);
    EXPECT_TRUE(a.icons.upTo);
    EXPECT_FALSE(a.icons.automatic);
    EXPECT_EQ(a.icons.number, "0x20"); // as text, not converted
    EXPECT_FALSE(a.files.upTo);
    EXPECT_FALSE(a.files.automatic); // File=0 is loaded after the icon group's "Up to"
    EXPECT_EQ(a.files.number, "");   // its "Up to" is not chosen: the limit is not loaded

    // Both "Up to": the file group's, loaded last, wins.
    write(dir / "Option.ini", "[File]\nIcon=0\nIcon No=1\nIcon Number=50\nFile=0\nFile No=1\n");
    OptionsForm b;
    b.load(ini);
    EXPECT_TRUE(b.files.upTo);
    EXPECT_FALSE(b.files.automatic);
    EXPECT_EQ(b.files.number, "536"); // the dialog's default text
    EXPECT_TRUE(b.icons.automatic);
    EXPECT_FALSE(b.icons.upTo);
    EXPECT_EQ(b.icons.number, "50"); // loaded while its "Up to" was chosen

    // Neither choice: both keys 0.
    write(dir / "Option.ini", "[File]\nIcon=0\nIcon No=0\nIcon Number=9\n");
    OptionsForm c;
    c.load(ini);
    EXPECT_FALSE(c.icons.automatic);
    EXPECT_FALSE(c.icons.upTo);
    EXPECT_EQ(c.icons.number, "");
    EXPECT_TRUE(c.files.automatic);

    // The rest of the Icon and File sections.
    write(dir / "Option.ini", "[Icon]\nBackground=clBtnFace\nEdit=/usr/bin/gimp\nJpeg=150\n"
                              "[File]\nScr File=0\nNil File=0\nSubFolder=0\nRecycle=0\n");
    OptionsForm d;
    EXPECT_FALSE(d.load(ini));
    EXPECT_EQ(d.background, 0x8000000Fu);
    EXPECT_EQ(d.editor, "/usr/bin/gimp");
    EXPECT_EQ(d.jpegQuality, 100); // the track bar's end
    EXPECT_FALSE(d.fileTypes.has(FileType::Scr));
    EXPECT_FALSE(d.fileTypes.has(FileType::Nil));
    EXPECT_TRUE(d.fileTypes.has(FileType::Ico));
    EXPECT_FALSE(d.subFolder);
    EXPECT_FALSE(d.recycle);

    // A background that is no colour is reported; the colour is white and the rest loads.
    write(dir / "Option.ini", "[Icon]\nBackground=light pink\nJpeg=-3\n[File]\nRecycle=0\n");
    OptionsForm e;
    EXPECT_EQ(e.load(ini), std::optional<std::string>("'light pink' is not a valid integer value"));
    EXPECT_EQ(e.background, kWhite);
    EXPECT_EQ(e.jpegQuality, 0);
    EXPECT_FALSE(e.recycle);
}

TEST(OptionsForm, ChoosingUpToInOneGroupSetsTheOtherToAutomatic)
{
    OptionsForm f;
    f.icons.number = "50";
    f.chooseIconsUpTo();
    EXPECT_TRUE(f.icons.upTo && !f.icons.automatic);
    EXPECT_TRUE(f.files.automatic && !f.files.upTo);
    f.chooseFilesUpTo();
    EXPECT_TRUE(f.files.upTo && !f.files.automatic);
    EXPECT_TRUE(f.icons.automatic && !f.icons.upTo);
    EXPECT_EQ(f.icons.number, "50"); // the text stays in its field

    // From neither chosen.
    f.files.automatic = f.files.upTo = false;
    f.chooseIconsUpTo();
    EXPECT_TRUE(f.files.automatic);
}

TEST(OptionsForm, UpTo50WritesTheWholeFileInTheDialogsOrder)
{
    TempDir dir;
    const ProfileFile ini((dir / "Option.ini").string());
    // Other sections stay, ahead of the three rewritten ones; keys the dialog does not know go.
    write(dir / "Option.ini", "[Internet]\nSmtpIp=mail.example\nConnection=abc\nProxyIp=proxy.example\nProxyPort=3128\n"
                              "[File]\nOld Key=1\nIcon Number=77\n[Other]\nKept=yes\n[Icon]\nJpeg=40\n");
    OptionsForm f;
    f.load(ini);
    f.icons.number = "50";
    f.chooseIconsUpTo();
    f.background = 0x004080FF;
    f.fileTypes.set(FileType::Ocx, false);
    f.store(ini);
    EXPECT_EQ(text(dir / "Option.ini"),
              "[Other]\nKept=yes\n"
              "[Icon]\nBackground=$004080FF\nEdit=xdg-open\nJpeg=40\n"
              "[File]\nExe File=1\nDll File=1\nCpl File=1\nScr File=1\nIcl File=1\nOcx File=0\nIco File=1\nNil File=1\n"
              "Bmp File=1\nRes File=0\nIcns File=0\nIcon=0\nIcon No=1\nIcon Number=50\nFile=1\nFile "
              "No=0\nSubFolder=1\nRecycle=1\n"
              // The Internet page was never shown: the stored values, as they read.
              "[Internet]\nSmtpIp=mail.example\nReplyto=\nConnection=abc\nProxy=0\nProxyIP=proxy.example\n"
              "ProxyPort=3128\nSmtpPort=25\nSmtpSecurity=None\nSmtpUser=\n");

    // The main window's settings read back what was written.
    Settings s;
    s.load(ini);
    EXPECT_TRUE(s.iconLimitOn());
    EXPECT_EQ(s.iconNumber, 50);
    EXPECT_FALSE(s.fileLimitOn());
    EXPECT_TRUE(s.recycle);
    EXPECT_FALSE(s.fileTypes.has(FileType::Ocx));

    // "Automatic" writes no limit; "Up to" of the file group its own, in decimal.
    f.files.number = "$10";
    f.chooseFilesUpTo();
    f.internet = InternetOptions {"smtp.example", "me@example.org", "30", true, "10.0.0.1", "", "25", "None", ""};
    f.store(ini);
    EXPECT_EQ(text(dir / "Option.ini"),
              "[Other]\nKept=yes\n"
              "[Icon]\nBackground=$004080FF\nEdit=xdg-open\nJpeg=40\n"
              "[File]\nExe File=1\nDll File=1\nCpl File=1\nScr File=1\nIcl File=1\nOcx File=0\nIco File=1\nNil File=1\n"
              "Bmp File=1\nRes File=0\nIcns File=0\nIcon=1\nIcon No=0\nFile=0\nFile No=1\nFile "
              "Number=16\nSubFolder=1\nRecycle=1\n"
              "[Internet]\nSmtpIp=smtp.example\nReplyto=me@example.org\nConnection=30\nProxy=1\nProxyIP=10.0.0.1\n"
              "ProxyPort=\nSmtpPort=25\nSmtpSecurity=None\nSmtpUser=\n");
    const InternetOptions back = InternetOptions::load(ini);
    EXPECT_EQ(back.replyTo, "me@example.org");
    EXPECT_TRUE(back.proxy);
}

TEST(OptionsForm, AFreshFileGetsIconFileAndInternetWithTheDefaults)
{
    TempDir dir;
    const ProfileFile ini((dir / "Option.ini").string());
    OptionsForm f;
    f.load(ini);
    f.store(ini);
    EXPECT_EQ(text(dir / "Option.ini"), "[Icon]\nBackground=clWhite\nEdit=xdg-open\nJpeg=86\n[File]\n" + kTypes +
                                            "Icon=1\nIcon No=0\nFile=1\nFile No=0\nSubFolder=1\nRecycle=1\n"
                                            "[Internet]\nSmtpIp=\nReplyto=\nConnection=20\nProxy=0\nProxyIP=\n"
                                            "ProxyPort=\nSmtpPort=25\nSmtpSecurity=None\nSmtpUser=\n");
}

TEST(OptionsForm, ABadValueWritesNothing)
{
    TempDir dir;
    const auto path = dir / "Option.ini";
    const ProfileFile ini(path.string());
    const std::string before = "[Icon]\r\nJpeg=12\r\n[File]\r\nIcon=1\r\n";
    write(path, before);
    OptionsForm f;
    f.load(ini);
    f.jpegQuality = 99;

    // An "Up to" limit that is not an integer, an empty one included.
    for (const char* bad : {"", "fifty", "50 icons", "1e3", "99999999999"}) {
        f.icons.number = bad;
        f.chooseIconsUpTo();
        EXPECT_EQ(errorOf([&] { f.store(ini); }), "Up to: '" + std::string(bad) + "' is not a valid integer value");
        EXPECT_EQ(text(path), before) << bad;
    }
    // The file group's limit is checked too, also when the icon group's is good.
    f.files.number = "x";
    f.chooseFilesUpTo();
    EXPECT_EQ(errorOf([&] { f.store(ini); }), "Up to: 'x' is not a valid integer value");
    EXPECT_EQ(text(path), before);
    // A limit that is not chosen is not checked.
    f.files.setAutomatic(true);
    f.icons.number = "not read";
    EXPECT_EQ(errorOf([&] { f.store(ini); }), "");
    EXPECT_NE(text(path), before);

    write(path, before);
    // A proxy port typed on the Internet page.
    f.internet = InternetOptions {};
    for (const char* bad : {"http", "0", "65536", "-1"}) {
        f.internet->proxyPort = bad;
        EXPECT_FALSE(errorOf([&] { f.store(ini); }).empty()) << bad;
        EXPECT_EQ(text(path), before) << bad;
    }
    f.internet->proxyPort = "65536";
    EXPECT_EQ(errorOf([&] { f.store(ini); }), "Port: '65536' is not a valid port number (1 to 65535)");
    f.internet->proxyPort = "http";
    EXPECT_EQ(errorOf([&] { f.store(ini); }), "Port: 'http' is not a valid integer value");
    // A line break would start a line of its own in the file.
    f.internet->proxyPort = "3128";
    f.internet->smtp = "mail.example\n[File]\nIcon=0";
    EXPECT_EQ(errorOf([&] { f.store(ini); }),
              "'mail.example\n[File]\nIcon=0' holds a line break, which Option.ini cannot keep");
    EXPECT_EQ(text(path), before);
    f.internet->smtp.clear();
    f.editor = "/usr/bin/gimp\r";
    EXPECT_FALSE(errorOf([&] { f.store(ini); }).empty());
    EXPECT_EQ(text(path), before);

    // The connection timeout is stored as typed (its readers fall back to 20).
    f.editor = "/usr/bin/gimp";
    f.internet->connection = "soon";
    f.store(ini);
    EXPECT_EQ(InternetOptions::load(ini).connection, "soon");
    EXPECT_EQ(InternetOptions::load(ini).proxyPort, "3128");
}

TEST(OptionsForm, AFileThatCannotBeWrittenStaysAsItWas)
{
    TempDir dir;
    OptionsForm f;
    const ProfileFile nowhere((dir / "no/such/folder/Option.ini").string());
    f.load(nowhere);
    EXPECT_EQ(errorOf([&] { f.store(nowhere); }), "Unable to write to " + nowhere.path());
    EXPECT_FALSE(std::filesystem::exists(dir / "no"));

    if (::geteuid() == 0) return; // root writes a read-only file
    const auto path = dir / "Option.ini";
    const std::string before = "[Icon]\nJpeg=12\n";
    write(path, before);
    ::chmod(path.c_str(), 0444);
    const ProfileFile ini(path.string());
    f.load(ini);
    EXPECT_EQ(errorOf([&] { f.store(ini); }), "Unable to write to " + path.string());
    EXPECT_EQ(text(path), before);
}
