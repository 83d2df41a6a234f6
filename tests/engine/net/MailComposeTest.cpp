#include "net/MailCompose.h"

#include "TestSupport.h"
#include "core/Error.h"
#include "net/Base64EncodingStream.h"
#include "support/MailParsers.h"

#include <fstream>
#include <gtest/gtest.h>
#include <regex>
#include <sys/stat.h>

using namespace vextral::net;
namespace test = vextral::test;

namespace {

std::vector<std::uint8_t> pattern(std::size_t count, int seed)
{
    std::vector<std::uint8_t> data(count);
    for (std::size_t i = 0; i < count; ++i) data[i] = static_cast<std::uint8_t>((i * 131 + seed * 7 + i / 251) & 0xFF);
    return data;
}

std::string join(const std::vector<std::string>& lines, std::size_t from, std::size_t to)
{
    std::string text;
    for (std::size_t i = from; i < to; ++i) text += lines[i] + "\r\n";
    return text;
}

std::string hex(const std::string& bytes)
{
    static const char* digits = "0123456789abcdef";
    std::string out;
    for (const unsigned char c : bytes) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

// Python's email package reads the composed lines (sent as SMTP would, CR LF
// after each) and prints, one per line: the decoded subject, the From
// header's display name, then per part its content type, charset, file name
// and decoded payload, each text as UTF-8 in hex.
std::vector<std::string> readWithPython(const std::vector<std::string>& lines, const test::TempDir& dir)
{
    const auto file = dir / "message.eml";
    std::ofstream(file, std::ios::binary) << join(lines, 0, lines.size());
    const char* script = R"(
import sys, email, email.policy
m = email.message_from_bytes(open(sys.argv[1], 'rb').read(), policy=email.policy.default)
h = lambda s: (s or '').encode('utf-8').hex()
print(h(str(m['subject'])))
print(h(m['from'].addresses[0].display_name if m['from'] else ''))
for p in (m.iter_parts() if m.is_multipart() else [m]):
    print(p.get_content_type(), p.get_content_charset() or '-', h(p.get_filename()), sep=' ')
    print(h(p.get_content()) if p.get_content_maintype() == 'text' else p.get_content().hex())
)";
    std::string output;
    const int status = test::runCommand(
        "/usr/bin/python3 -c " + test::shellQuote(script) + " " + test::shellQuote(file.string()), &output);
    EXPECT_EQ(status, 0) << output;
    std::vector<std::string> out;
    std::size_t start = 0;
    while (start < output.size()) {
        const std::size_t stop = output.find('\n', start);
        out.push_back(output.substr(start, stop - start));
        start = stop == std::string::npos ? output.size() : stop + 1;
    }
    return out;
}

MoxMsg baseMessage()
{
    MoxMsg msg;
    msg.from = "icons@example.org";
    msg.sendTo = "friend@example.net";
    msg.subject = "Some icons";
    msg.text = {"Hello,", "here they are."};
    msg.date = "Sat, 5 May 2001 14:03:09 +0800";
    return msg;
}

} // namespace

TEST(MailCompose, TwoAttachmentsGiveTheMultipartLayoutLineByLine)
{
    test::TempDir dir;
    const auto star = pattern(1000, 1), moon = pattern(58, 2);
    test::writeBytes(dir / "star.bmp", star);
    test::writeBytes(dir / "moon.vxq", moon);
    MoxMsg msg = baseMessage();
    msg.replyTo = msg.from;
    msg.bcc = "secret@example.com";
    msg.attachedFiles.add((dir / "star.bmp").string());
    msg.attachedFiles.add((dir / "moon.vxq").string());
    ASSERT_EQ(msg.attachedFiles[0].fileName, "star.bmp");
    ASSERT_EQ(msg.attachedFiles[0].contentType, "image/bmp");
    ASSERT_EQ(msg.attachedFiles[1].contentType, "application/octet-stream");

    const auto lines = composeMessage(msg, "smtp.example.org", "desk.local");
    ASSERT_GE(lines.size(), 40u);
    EXPECT_TRUE(std::regex_match(lines[0], std::regex(R"(Message-Id: <MOX\.\d{4}\.\d\d\.\d\d\.[a-t]{8}@desk\.local>)")))
        << lines[0];
    const std::vector<std::string> headers = {"Date: Sat, 5 May 2001 14:03:09 +0800",
                                              "X-Priority: 3",
                                              "From: icons@example.org",
                                              "Reply-To: icons@example.org",
                                              "X-Mailer: Vextral 2.1",
                                              "To: friend@example.net",
                                              "MIME-Version: 1.0",
                                              "Subject: Some icons"};
    for (std::size_t i = 0; i < headers.size(); ++i) EXPECT_EQ(lines[1 + i], headers[i]);
    std::smatch match;
    ASSERT_TRUE(std::regex_match(
        lines[9], match, std::regex(R"re(Content-Type: multipart/mixed; boundary="(--_MOX_bound_[a-y]{12})")re")))
        << lines[9];
    const std::string d = "--" + match[1].str();
    const std::vector<std::string> front = {"",
                                            d,
                                            "Content-Type: Text/Plain; charset=ISO-8859-1",
                                            "Content-Transfer-Encoding: 8Bit",
                                            "",
                                            "Hello,",
                                            "here they are.",
                                            d,
                                            "Content-Type: image/bmp; name=\"star.bmp\"",
                                            "Content-Transfer-Encoding: base64",
                                            "Content-Disposition: inline; FileName=\"star.bmp\"",
                                            ""};
    for (std::size_t i = 0; i < front.size(); ++i) EXPECT_EQ(lines[10 + i], front[i]) << i;

    // star.bmp: 1000 bytes make 17 full lines and one of 44 characters.
    const std::size_t starAt = 10 + front.size();
    const std::string starText = base64Encode(std::string(star.begin(), star.end()));
    EXPECT_EQ(join(lines, starAt, starAt + 18), starText + "\r\n");
    EXPECT_EQ(lines[starAt + 17].size(), 44u);
    const std::vector<std::string> middle = {d, "Content-Type: application/octet-stream; name=\"moon.vxq\"",
                                             "Content-Transfer-Encoding: base64",
                                             "Content-Disposition: inline; FileName=\"moon.vxq\"", ""};
    for (std::size_t i = 0; i < middle.size(); ++i) EXPECT_EQ(lines[starAt + 18 + i], middle[i]) << i;
    const std::size_t moonAt = starAt + 18 + middle.size();
    EXPECT_EQ(lines[moonAt].size(), 76u);
    EXPECT_EQ(lines[moonAt + 1].size(), 4u);
    EXPECT_EQ(lines.size(), moonAt + 5);
    EXPECT_EQ(lines[moonAt + 2], "");
    EXPECT_EQ(lines[moonAt + 3], d + "--");
    EXPECT_EQ(lines[moonAt + 4], "");
    for (const auto& line : lines) EXPECT_EQ(line.find("secret"), std::string::npos) << line;

    // An independent reader finds both files intact.
    const auto read = readWithPython(lines, dir);
    ASSERT_EQ(read.size(), 8u);
    EXPECT_EQ(read[2], "text/plain iso-8859-1 ");
    EXPECT_EQ(read[4], "image/bmp - " + hex("star.bmp"));
    EXPECT_EQ(read[5], hex(std::string(star.begin(), star.end())));
    EXPECT_EQ(read[6], "application/octet-stream - " + hex("moon.vxq"));
    EXPECT_EQ(read[7], hex(std::string(moon.begin(), moon.end())));
}

TEST(MailCompose, EncodingReportsStartProgressAndEndPerChunk)
{
    test::TempDir dir;
    test::writeBytes(dir / "empty.ico", {});
    test::writeBytes(dir / "k1.ico", pattern(1024, 3));
    test::writeBytes(dir / "k2.ico", pattern(2500, 4));
    std::vector<std::string> log;
    int pumps = 0;
    ComposeEvents events;
    events.onEncodeStart = [&](const std::string& name, std::int64_t size) {
        log.push_back("start " + name + " " + std::to_string(size));
    };
    events.onEncodeProgress = [&](int percent) { log.push_back(std::to_string(percent)); };
    events.onEncodeEnd = [&] { log.push_back("end"); };
    events.pump = [&] { ++pumps; };

    MoxMsg msg = baseMessage();
    msg.attachedFiles.add((dir / "empty.ico").string());
    msg.attachedFiles.add((dir / "k1.ico").string());
    msg.attachedFiles.add((dir / "k2.ico").string());
    const auto lines = composeMessage(msg, "smtp", "", events);
    EXPECT_EQ(log, (std::vector<std::string> {"start empty.ico 0", "100", "end", "start k1.ico 1024", "100", "100",
                                              "end", "start k2.ico 2500", "41", "82", "100", "end"}));
    EXPECT_EQ(pumps, (1 + 1) + (2 + 1) + (3 + 1)) << "before every chunk and after every attachment";
    EXPECT_EQ(lines[0].find("Message-Id: <MOX."), 0u);
    EXPECT_EQ(lines[0].substr(lines[0].size() - 2), "@>");

    // The empty file's part: its four header lines and the empty line, then
    // straight on to the next delimiter.
    const auto at = std::find(lines.begin(), lines.end(), "Content-Disposition: inline; FileName=\"empty.ico\"");
    ASSERT_NE(at, lines.end());
    EXPECT_EQ(*(at - 3), lines[std::find(lines.begin(), lines.end(), "") - lines.begin() + 1]);
    EXPECT_EQ(*(at + 1), "");
    EXPECT_EQ(*(at + 2), *(at - 3)) << "the delimiter follows at once";

    // A step wider than the whole reaches no threshold: no progress at all.
    log.clear();
    events.encodeProgressStep = 150;
    encodeAttachment(msg.attachedFiles[2], events);
    EXPECT_EQ(log, (std::vector<std::string> {"start k2.ico 2500", "end"}));

    // Files that cannot be read stop the composition with a clear error.
    msg.attachedFiles.add((dir / "missing.ico").string());
    try {
        composeMessage(msg, "smtp", "");
        ADD_FAILURE() << "a missing file was attached";
    } catch (const vextral::Error& e) {
        EXPECT_NE(std::string(e.what()).find("Cannot open file " + (dir / "missing.ico").string()), std::string::npos)
            << e.what();
    }
    ASSERT_EQ(mkfifo((dir / "pipe").c_str(), 0600), 0);
    for (const std::string name : {"pipe", ""}) {
        MoxMsg odd = baseMessage();
        odd.attachedFiles.add((dir / name).string());
        EXPECT_THROW(composeMessage(odd, "smtp", ""), vextral::Error) << name;
    }
}

TEST(MailCompose, HeaderRulesAndDotStuffing)
{
    MoxMsg msg = baseMessage();
    msg.text = {".", ".hidden", "a.b", "", "x\n.\ny"};
    auto lines = composeMessage(msg, "smtp.example.org", "h");
    auto blank = std::find(lines.begin(), lines.end(), "") - lines.begin();
    EXPECT_EQ(lines[blank - 2], "Content-Type: Text/Plain; charset=ISO-8859-1");
    EXPECT_EQ(lines[blank - 1], "Content-Transfer-Encoding: 8Bit");
    EXPECT_EQ(std::vector<std::string>(lines.begin() + blank + 1, lines.end()),
              (std::vector<std::string> {"..", "..hidden", "a.b", "", "x", "..", "y"}));

    msg.textEncoding = TextEncoding::teBase64;
    msg.text = {".", ".hidden"};
    lines = composeMessage(msg, "smtp.example.org", "h");
    blank = std::find(lines.begin(), lines.end(), "") - lines.begin();
    EXPECT_EQ(lines[blank - 1], "Content-Transfer-Encoding: base64");
    EXPECT_EQ(lines[blank - 3], "Subject: =?ISO-8859-1?B?U29tZSBpY29ucw==?=");
    EXPECT_EQ(std::vector<std::string>(lines.begin() + blank + 1, lines.end()),
              std::vector<std::string> {base64Encode(".\r\n.hidden\r\n")});
    msg.text.clear();
    lines = composeMessage(msg, "smtp.example.org", "h");
    EXPECT_EQ(lines.back(), "") << "an empty text has no lines";

    auto header = [](const std::vector<std::string>& all, const std::string& name) {
        for (const auto& line : all)
            if (line.rfind(name + ": ", 0) == 0) return line.substr(name.size() + 2);
        return std::string("(none)");
    };
    msg = baseMessage();
    msg.userName = "Ann \"Icons\" Lee";
    msg.from = "ann";
    msg.cc = "c1@x.org, c2@x.org";
    msg.bcc = "hidden@x.org";
    msg.inReplyTo = "<a@b>";
    msg.priority = Priority::prHighest;
    msg.extraHeaders = {"X-One: 1", "X-Two: 2"};
    lines = composeMessage(msg, "smtp.example.org", "h");
    EXPECT_EQ(header(lines, "From"), "\"Ann \\\"Icons\\\" Lee\" <ann@smtp.example.org>");
    EXPECT_EQ(header(lines, "X-Priority"), "1");
    EXPECT_EQ(header(lines, "CC"), "c1@x.org, c2@x.org");
    EXPECT_EQ(header(lines, "Reply-To"), "(none)");
    blank = std::find(lines.begin(), lines.end(), "") - lines.begin();
    const std::vector<std::string> names = {"Message-Id",   "In-Reply-To", "Date",         "X-Priority",
                                            "From",         "X-Mailer",    "To",           "CC",
                                            "MIME-Version", "Subject",     "Content-Type", "Content-Transfer-Encoding",
                                            "X-One",        "X-Two"};
    ASSERT_EQ(static_cast<std::size_t>(blank), names.size());
    for (std::size_t i = 0; i < names.size(); ++i) EXPECT_EQ(lines[i].rfind(names[i] + ": ", 0), 0u) << lines[i];
    for (const auto& line : lines) EXPECT_EQ(line.find("hidden"), std::string::npos);

    msg.userName = "Ann";
    msg.from = "ann@own.org";
    msg.priority = Priority::prLowest;
    msg.subject = "evil\r\nBcc: x@y";
    lines = composeMessage(msg, "smtp.example.org", "h");
    EXPECT_EQ(header(lines, "From"), "\"Ann\" <ann@own.org>");
    EXPECT_EQ(header(lines, "X-Priority"), "5");
    EXPECT_EQ(header(lines, "Subject"), "evil  Bcc: x@y") << "a line break cannot start a header";
    EXPECT_EQ(header(lines, "Bcc"), "(none)");

    // Without a date of its own, the message is dated now.
    msg.date.clear();
    lines = composeMessage(msg, "smtp.example.org", "h");
    EXPECT_EQ(header(lines, "Date"), formatMailDate(std::time(nullptr)));
}

TEST(MailCompose, NonAsciiTextReachesAReaderIntact)
{
    test::TempDir dir;
    const std::string latin = "Ic\xc3\xb4nes \xc3\xa0 voir";                               // fits ISO-8859-1
    const std::string euro = "Price \xe2\x82\xac 5 \xe2\x80\x94 \xe4\xb8\xad\xe6\x96\x87"; // does not
    const std::string longSubject = "Bient\xc3\xb4t: " + std::string(80, 'x') + " \xc3\xa9t\xc3\xa9 " +
                                    std::string(40, 'y') + " \xe4\xb8\xad\xe6\x96\x87\xe4\xb8\xad\xe6\x96\x87";
    struct Case {
        std::string subject, line, name, charset;
        TextEncoding encoding;
    };
    const std::vector<Case> cases = {
        {latin, "Voil\xc3\xa0 les ic\xc3\xb4nes.", "Andr\xc3\xa9", "iso-8859-1", TextEncoding::te8Bit},
        {latin, "Voil\xc3\xa0 les ic\xc3\xb4nes.", "Andr\xc3\xa9", "iso-8859-1", TextEncoding::teBase64},
        {euro, "Total: " + euro, "Plain", "utf-8", TextEncoding::te8Bit},
        {longSubject, std::string(100, 'z') + " " + euro, "Zo\xc3\xab", "utf-8", TextEncoding::teBase64},
    };
    for (const Case& c : cases) {
        MoxMsg msg = baseMessage();
        msg.subject = c.subject;
        msg.userName = c.name;
        msg.text = {c.line, "second"};
        msg.textEncoding = c.encoding;
        const auto lines = composeMessage(msg, "smtp", "h");
        for (const auto& line : lines) {
            EXPECT_LE(line.size(), 998u);
            if (line.rfind("Subject:", 0) == 0 || line.rfind(" =?", 0) == 0) {
                EXPECT_LE(line.size(), 76u) << line;
            }
        }
        const auto read = readWithPython(lines, dir);
        ASSERT_EQ(read.size(), 4u);
        EXPECT_EQ(read[0], hex(c.subject)) << c.subject;
        EXPECT_EQ(read[1], hex(c.name));
        EXPECT_EQ(read[2], "text/plain " + c.charset + " ");
        EXPECT_EQ(read[3], hex(c.line + "\r\n" + "second\r\n"));
    }
    // The long subject is carried in several encoded words, one per line.
    MoxMsg msg = baseMessage();
    msg.subject = longSubject;
    msg.textEncoding = TextEncoding::teBase64;
    const auto lines = composeMessage(msg, "smtp", "h");
    const auto subject = std::find_if(lines.begin(), lines.end(), [](auto& l) { return l.rfind("Subject: ", 0) == 0; });
    ASSERT_NE(subject, lines.end());
    EXPECT_EQ(subject->rfind("Subject: =?UTF-8?B?", 0), 0u);
    EXPECT_EQ((subject + 1)->rfind(" =?UTF-8?B?", 0), 0u);
    EXPECT_EQ((subject + 2)->rfind(" =?UTF-8?B?", 0), 0u);
}

TEST(MailHeaders, ValuesOfDatesIdentifiersAndNames)
{
    EXPECT_EQ(padNumber(7, 2), "07");
    EXPECT_EQ(padNumber(123, 2), "123");
    EXPECT_EQ(padNumber(5, 4), "0005");
    EXPECT_EQ(timeZoneText(0), "GMT");
    EXPECT_EQ(timeZoneText(8 * 3600), "+0800");
    EXPECT_EQ(timeZoneText(-5 * 3600), "-0500");
    EXPECT_EQ(timeZoneText(-(9 * 3600 + 30 * 60)), "-0930");
    EXPECT_EQ(timeZoneText(5 * 3600 + 45 * 60), "+0545");

    std::tm moment {};
    moment.tm_year = 101;
    moment.tm_mon = 4;
    moment.tm_mday = 5;
    moment.tm_wday = 6;
    moment.tm_hour = 14;
    moment.tm_min = 3;
    moment.tm_sec = 9;
    EXPECT_EQ(formatMailDate(moment, 8 * 3600), "Sat, 5 May 2001 14:03:09 +0800");
    moment.tm_mon = 11;
    moment.tm_mday = 31;
    moment.tm_wday = 1;
    moment.tm_hour = 0;
    EXPECT_EQ(formatMailDate(moment, 0), "Mon, 31 Dec 2001 00:03:09 GMT");
    // The clock's moment in the local zone, with English names whatever the locale.
    setenv("TZ", "Asia/Shanghai", 1);
    tzset();
    EXPECT_EQ(formatMailDate(std::time_t {989042589}), "Sat, 5 May 2001 14:03:09 +0800");
    unsetenv("TZ");
    tzset();

    const std::string a = newBoundary(), b = newBoundary();
    EXPECT_TRUE(std::regex_match(a, std::regex("--_MOX_bound_[a-y]{12}"))) << a;
    EXPECT_NE(a, b) << "two boundaries made at once differ";
    EXPECT_NE(newMessageId("h"), newMessageId("h"));

    const std::string temp = newTempFileName();
    EXPECT_EQ(std::filesystem::path(temp).filename().string().rfind("mox", 0), 0u) << temp;
    EXPECT_FALSE(std::filesystem::exists(temp));
}

// A long paragraph, non-ASCII recipients and attachment names, read by both
// of Python's parsers: the modern one (policy default) and the older compat32.
TEST(MailCompose, LongLinesAndNonAsciiNamesReachBothParsersIntact)
{
    test::TempDir dir;
    const std::string paragraph = test::longParagraph();
    const std::string fileName = "gr\xc3\xbc\xc3\x9f"
                                 "e " +
                                 std::string(40, 'n') + " \xe4\xb8\xad\xe6\x96\x87.png";
    test::writeBytes(dir / fileName, pattern(300, 3));
    MoxMsg msg = baseMessage();
    msg.text = {paragraph, ".dot first", "short"};
    msg.sendTo = "J\xc3\xbcrgen M\xc3\xbcller <j@example.net>, plain@example.net";
    msg.cc = "\"Zo\xc3\xab, A.\" <z@example.net>";
    msg.attachedFiles.add((dir / fileName).string());
    const auto lines = composeMessage(msg, "smtp", "h");
    bool quotedPrintable = false;
    for (const auto& line : lines) {
        EXPECT_LE(line.size(), 998u);
        if (line == "Content-Transfer-Encoding: quoted-printable") quotedPrintable = true;
        // Headers and the encoded text keep to 76 characters.
        if (line.size() < 200) {
            EXPECT_LE(line.size(), 76u) << line;
        }
        EXPECT_TRUE(line.empty() || line.front() != '.' || line.rfind("..", 0) == 0) << line;
    }
    EXPECT_TRUE(quotedPrintable);
    const auto file = dir / "message.eml";
    std::ofstream(file, std::ios::binary) << join(lines, 0, lines.size());
    const test::ParsedMail mail = test::parseMail(file);
    ASSERT_TRUE(mail.parsed) << mail.error;
    // The line break before the next part's delimiter belongs to the delimiter.
    const std::string text = paragraph + "\r\n.dot first\r\nshort";
    EXPECT_EQ(mail.displayNames, (std::vector<std::string> {"J\xc3\xbcrgen M\xc3\xbcller", "", "Zo\xc3\xab, A."}));
    EXPECT_EQ(mail.text, text);
    EXPECT_EQ(mail.fileName, fileName);
    EXPECT_EQ(mail.oldTo, "J\xc3\xbcrgen M\xc3\xbcller <j@example.net>, plain@example.net");
    EXPECT_EQ(mail.oldCc, "Zo\xc3\xab, A. <z@example.net>");
    EXPECT_EQ(mail.oldText, text);
    EXPECT_EQ(mail.oldFileName, fileName);
    EXPECT_EQ(mail.oldName, fileName);

    // A long plain recipient list and subject are folded rather than sent as
    // one line over 998 characters.
    MoxMsg many = baseMessage();
    std::string subject;
    for (int i = 0; i < 80; ++i) {
        many.sendTo += (i ? ", friend" : "friend") + std::to_string(i) + "@example.net";
        subject += "icons ";
    }
    many.subject = subject + "end";
    const auto folded = composeMessage(many, "smtp", "h");
    for (const auto& line : folded) EXPECT_LE(line.size(), 998u) << line.substr(0, 40);
    std::ofstream(file, std::ios::binary) << join(folded, 0, folded.size());
    const test::ParsedMail read = test::parseMail(file);
    ASSERT_TRUE(read.parsed) << read.error;
    EXPECT_EQ(read.displayNames.size(), 80u);
    EXPECT_EQ(read.subject, many.subject);
}
