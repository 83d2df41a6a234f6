// The mail client against Debian's exim, as users meet it: STARTTLS and TLS
// with a login, delivery to a Maildir, and a relay over SMTP whose transport
// refuses lines over 998 characters. Every message that arrives is read back
// with both of Python's mail parsers.
#include "net/MoxSmtp.h"

#include "TestSupport.h"
#include "support/EximPeer.h"
#include "support/MailParsers.h"
#include "support/SmtpPeer.h"
#include "support/TextFiles.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

using vextral::net::MoxMsg;
using vextral::net::MoxSmtp;
using vextral::net::SmtpSecurity;
namespace test = vextral::test;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

#define SKIP_WITHOUT_EXIM()                                                                                            \
    if (!test::EximServers::installed())                                                                               \
    GTEST_SKIP() << test::EximServers::kProgram << " is missing (exim4-daemon-light, tools/install-deps.sh test)"

void configure(MoxSmtp& smtp, int port, SmtpSecurity security)
{
    smtp.host = "localhost";
    smtp.port = std::to_string(port);
    smtp.timeOut = 5000;
    smtp.security = security;
    smtp.userName = "ann";
    smtp.password = "secret";
}

std::vector<std::uint8_t> noise(std::size_t size)
{
    std::vector<std::uint8_t> bytes(size);
    std::uint32_t state = 2024;
    for (auto& b : bytes) b = static_cast<std::uint8_t>((state = state * 1103515245u + 12345u) >> 23);
    return bytes;
}

// A send by the mail child: its exit status (-1 when it did not run), its
// own peak resident memory in bytes and how long it took.
struct ChildRun {
    int status = -1;
    long long peakBytes = 0;
    double seconds = 0;
};

ChildRun sendInChild(const test::EximServers& exim, const fs::path& file)
{
    ChildRun run;
    std::string output;
    const auto start = Clock::now();
    run.status = test::runCommand(test::shellQuote(VEXTRAL_MAIL_CHILD) + " " + std::to_string(exim.port()) + " " +
                                      test::shellQuote(exim.caFile().string()) + " " + test::shellQuote(file.string()),
                                  &output);
    run.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    run.peakBytes = std::atoll(output.c_str()) * 1024;
    return run;
}

} // namespace

TEST(MoxSmtpExim, ALongParagraphAndNonAsciiNamesArriveIntactThroughTheRelay)
{
    SKIP_WITHOUT_EXIM();
    test::EximServers exim;
    ASSERT_TRUE(exim.running()) << exim.log();
    test::ScopedEnv trust("SSL_CERT_FILE", exim.caFile().string());
    test::TempDir dir;
    const std::string paragraph = test::longParagraph();
    const std::string fileName = "gr\xc3\xbc\xc3\x9f"
                                 "e.png";
    const std::vector<std::uint8_t> bytes = noise(5000);
    test::writeBytes(dir / fileName, bytes);

    // STARTTLS on the submission port, then TLS from the first byte: the To
    // list goes through the relay, the CC list to the local Maildir.
    std::size_t sent = 0;
    for (const auto& [port, security] :
         {std::pair {exim.port(), SmtpSecurity::StartTls}, std::pair {exim.tlsPort(), SmtpSecurity::Tls}}) {
        MoxSmtp smtp;
        configure(smtp, port, security);
        MoxMsg msg;
        msg.from = "ann@local.test";
        msg.sendTo = "J\xc3\xbcrgen M\xc3\xbcller <j@relay.test>";
        msg.cc = "\"Zo\xc3\xab, A.\" <z@local.test>";
        msg.subject = "Icons f\xc3\xbcr dich";
        msg.text = {paragraph, ".dot first", "short"};
        msg.attachedFiles.add((dir / fileName).string());
        smtp.connect();
        EXPECT_EQ(test::sendFailure(smtp, msg).message, "") << exim.log();
        smtp.quit();
        ++sent;
    }
    const std::vector<fs::path> relayed = exim.relayedMails(sent);
    const std::vector<fs::path> local = exim.localMails(sent);
    ASSERT_EQ(relayed.size(), sent) << exim.log();
    ASSERT_EQ(local.size(), sent) << exim.log();
    EXPECT_EQ(exim.log().find("too long"), std::string::npos) << exim.log();

    std::vector<fs::path> mails = relayed;
    mails.insert(mails.end(), local.begin(), local.end());
    const std::string text = paragraph + "\n.dot first\nshort";
    for (const fs::path& file : mails) {
        SCOPED_TRACE(file.string());
        const test::ParsedMail mail = test::parseMail(file);
        ASSERT_TRUE(mail.parsed) << mail.error;
        EXPECT_EQ(mail.lineTooLong, "");
        EXPECT_EQ(mail.displayNames, (std::vector<std::string> {"J\xc3\xbcrgen M\xc3\xbcller", "Zo\xc3\xab, A."}));
        EXPECT_EQ(mail.subject, "Icons f\xc3\xbcr dich");
        // The line breaks as the parsers give them back (exim stores mail with LF).
        std::string got = mail.text;
        std::erase(got, '\r');
        EXPECT_EQ(got, text);
        EXPECT_EQ(mail.fileName, fileName);
        EXPECT_EQ(mail.attachment, std::string(bytes.begin(), bytes.end()));
        EXPECT_EQ(mail.oldTo, "J\xc3\xbcrgen M\xc3\xbcller <j@relay.test>");
        EXPECT_EQ(mail.oldCc, "Zo\xc3\xab, A. <z@local.test>");
        got = mail.oldText;
        std::erase(got, '\r');
        EXPECT_EQ(got, text);
        EXPECT_EQ(mail.oldFileName, fileName);
        EXPECT_EQ(mail.oldName, fileName);
    }
}

TEST(MoxSmtpExim, RefusalsGiveTheServersOwnReason)
{
    SKIP_WITHOUT_EXIM();
    test::EximServers exim;
    ASSERT_TRUE(exim.running()) << exim.log();
    MoxMsg msg;
    msg.from = "ann@local.test";
    msg.sendTo = "bob@local.test";
    msg.subject = "Icons";
    msg.text = {"hello"};
    const auto refusal = [&](int port, SmtpSecurity security, const std::string& password) {
        MoxSmtp smtp;
        configure(smtp, port, security);
        smtp.password = password;
        smtp.connect();
        EXPECT_FALSE(smtp.connected());
        return test::sendFailure(smtp, msg);
    };
    {
        test::ScopedEnv trust("SSL_CERT_FILE", exim.caFile().string());
        const test::SendFailure wrong = refusal(exim.port(), SmtpSecurity::StartTls, "guess");
        EXPECT_EQ(wrong.message, "Not connected.");
        EXPECT_EQ(wrong.reason, "535 Incorrect authentication data");
        EXPECT_EQ(refusal(exim.relayPort(), SmtpSecurity::StartTls, "secret").reason,
                  "The server does not offer STARTTLS.");
    }
    // A certificate from a CA this machine does not trust.
    test::TempDir other;
    ASSERT_TRUE(test::makeCertificates(other.path(), {"localhost"}));
    test::ScopedEnv distrust("SSL_CERT_FILE", (other / "ca.pem").string());
    for (const auto& [port, security] :
         {std::pair {exim.port(), SmtpSecurity::StartTls}, std::pair {exim.tlsPort(), SmtpSecurity::Tls}})
        EXPECT_EQ(refusal(port, security, "secret").reason,
                  "TLS failed: certificate verify failed: unable to get local issuer certificate");
    EXPECT_TRUE(exim.localMails().empty());
}

TEST(MoxSmtpExim, TheAnswerAfterTheDataMayTakeLongerThanTheConnectionLimit)
{
    SKIP_WITHOUT_EXIM();
    test::EximServers exim(3); // answers a "slow" message 3 s after its data
    ASSERT_TRUE(exim.running()) << exim.log();
    test::ScopedEnv trust("SSL_CERT_FILE", exim.caFile().string());
    MoxMsg msg;
    msg.from = "ann@local.test";
    msg.sendTo = "bob@local.test";
    msg.subject = "slow icons";
    msg.text = {"checked for a while"};

    // The connection limit is 1 s; the server's 3 s of checking pass.
    bool cancelling = false;
    Clock::time_point dataSent {};
    MoxSmtp smtp([&] {
        if (cancelling && dataSent != Clock::time_point {} && Clock::now() - dataSent > std::chrono::milliseconds(500))
            smtp.cancel();
    });
    configure(smtp, exim.port(), SmtpSecurity::StartTls);
    smtp.timeOut = 1000;
    smtp.onSendProgress = [&](int percent) {
        if (percent == 100 && dataSent == Clock::time_point {}) dataSent = Clock::now();
    };
    smtp.connect();
    const auto start = Clock::now();
    EXPECT_EQ(test::sendFailure(smtp, msg).message, "") << exim.log();
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(2900));
    EXPECT_EQ(exim.localMails(1).size(), 1u) << exim.log();

    // Cancel still ends that wait at once.
    cancelling = true;
    dataSent = {};
    smtp.connect();
    const auto cancelled = Clock::now();
    EXPECT_EQ(test::sendFailure(smtp, msg).message, "The mail was not sent: Cancelled.");
    EXPECT_LT(Clock::now() - cancelled, std::chrono::milliseconds(2500));
    std::this_thread::sleep_for(std::chrono::seconds(3));
    EXPECT_EQ(exim.localMails().size(), 1u) << "the cancelled message was not taken";
}

// The memory a send takes: a 20 MB attachment through exim, measured in a
// process of its own against the same send with a 1 KB file. (Before the
// message was one text, its lines took about 4.4 times the file.)
TEST(MoxSmtpExim, ALargeAttachmentTakesAtMostTwiceItsSizeInMemory)
{
    SKIP_WITHOUT_EXIM();
    test::EximServers exim;
    ASSERT_TRUE(exim.running()) << exim.log();
    test::TempDir dir;
    constexpr std::size_t kSize = 20 * 1000 * 1000;
    const std::vector<std::uint8_t> bytes = noise(kSize);
    test::writeBytes(dir / "small.bin", std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + 1000));
    test::writeBytes(dir / "large.bin", bytes);
    const ChildRun small = sendInChild(exim, dir / "small.bin");
    ASSERT_EQ(small.status, 0) << exim.log();
    ASSERT_GT(small.peakBytes, 0);
    const ChildRun large = sendInChild(exim, dir / "large.bin");
    ASSERT_EQ(large.status, 0) << exim.log();
    const long long extra = large.peakBytes - small.peakBytes;
    std::printf("20 MB attachment through exim: %.2f s, peak %.1f MB (%.1f MB above a 1 KB mail, %.2f x the file)\n",
                large.seconds, static_cast<double>(large.peakBytes) / 1e6, static_cast<double>(extra) / 1e6,
                static_cast<double>(extra) / kSize);
    EXPECT_LE(extra, 2LL * static_cast<long long>(kSize));
    EXPECT_LT(large.seconds, 30.0);

    const std::vector<fs::path> mails = exim.localMails(2);
    ASSERT_EQ(mails.size(), 2u) << exim.log();
    const test::ParsedMail mail = test::parseMail(fs::file_size(mails[0]) > kSize ? mails[0] : mails[1]);
    ASSERT_TRUE(mail.parsed) << mail.error;
    EXPECT_TRUE(mail.attachment == std::string(bytes.begin(), bytes.end())) << "the file arrives whole";
}
