#include "net/MoxSmtp.h"

#include "TestSupport.h"
#include "core/Error.h"
#include "net/Base64EncodingStream.h"
#include "support/NetPeers.h"
#include "support/SmtpPeer.h"

#include <chrono>
#include <gtest/gtest.h>

using vextral::net::MoxMsg;
using vextral::net::MoxSmtp;
namespace test = vextral::test;
using test::MailRecord;
using test::SmtpEvents;
using test::SmtpTestServer;

namespace {

MoxMsg message(const std::string& sendTo, const std::string& cc = {}, const std::string& bcc = {})
{
    MoxMsg msg;
    msg.from = "Sender@Example.org";
    msg.replyTo = msg.from;
    msg.sendTo = sendTo;
    msg.cc = cc;
    msg.bcc = bcc;
    msg.subject = "Some icons";
    msg.text = {"Hello,", ".", "bye"};
    return msg;
}

// The message of the error sendMessage throws; empty when it throws none.
std::string errorOf(MoxSmtp& smtp, const MoxMsg& msg) { return test::sendFailure(smtp, msg).message; }

std::string headerBlock(const std::string& data) { return data.substr(0, data.find("\r\n\r\n")); }

} // namespace

TEST(MoxSmtp, OneTransactionForEachRecipientFieldOnOneConnection)
{
    SmtpTestServer server;
    ASSERT_TRUE(server.running());
    MoxSmtp smtp;
    SmtpEvents events(smtp);
    smtp.host = "127.0.0.1";
    smtp.port = std::to_string(server.port());
    smtp.timeOut = 5000;
    smtp.connect();
    ASSERT_TRUE(smtp.connected());
    EXPECT_EQ(events.connects, 1);

    // One recipient: upper case lowered, the display name dropped, the sender's case kept.
    ASSERT_EQ(errorOf(smtp, message("\"A Friend\" <Friend@Example.COM>")), "");
    MailRecord first = server.mail(1);
    EXPECT_FALSE(first.ehlo); // the classic HELO dialogue
    EXPECT_FALSE(first.helo.empty());
    EXPECT_EQ(first.from, "Sender@Example.org");
    EXPECT_EQ(first.to, std::vector<std::string> {"friend@example.com"});
    EXPECT_NE(first.data.find("\r\nTo: \"A Friend\" <Friend@Example.COM>\r\n"), std::string::npos);
    EXPECT_NE(first.data.find("\r\nHello,\r\n.\r\nbye\r\n"), std::string::npos); // the lone dot arrives whole
    const std::vector<std::string> dialogue {"MAIL FROM:<Sender@Example.org>\r\n", "RCPT TO:<friend@example.com>\r\n",
                                             "DATA\r\n"};
    EXPECT_TRUE(std::equal(dialogue.begin(), dialogue.end(), events.sent.begin() + 1)) << events.sent[1];
    EXPECT_EQ(events.sent[events.sent.size() - 2], "\r\n.\r\n");
    EXPECT_EQ(events.sent.back(), "RSET\r\n");
    EXPECT_EQ(events.received.back(), "250 OK");
    // Progress in steps of at least 10 while the text goes out (this short one
    // in one piece), ending at 100, then 100 once more.
    ASSERT_GE(events.progress.size(), 2u);
    EXPECT_LE(events.progress.size(), 11u);
    EXPECT_EQ(events.progress[events.progress.size() - 2], 100);
    EXPECT_EQ(events.progress.back(), 100);
    for (std::size_t i = 1; i + 1 < events.progress.size(); ++i) EXPECT_GT(events.progress[i], events.progress[i - 1]);
    EXPECT_EQ(events.afterSends, 1);

    // Connecting again reuses the open connection; To (two) and CC (one) are two transactions
    // carrying the same header block, which never shows the BCC field.
    smtp.connect();
    ASSERT_TRUE(smtp.connected());
    EXPECT_EQ(events.connects, 1);
    ASSERT_EQ(errorOf(smtp, message("a@x.org, B@x.org", "c@x.org", "")), "");
    MailRecord to = server.mail(2);
    MailRecord cc = server.mail(3);
    EXPECT_EQ(to.to, (std::vector<std::string> {"a@x.org", "b@x.org"}));
    EXPECT_EQ(cc.to, std::vector<std::string> {"c@x.org"});
    EXPECT_EQ(to.data, cc.data);
    EXPECT_NE(headerBlock(to.data).find("\r\nCC: c@x.org"), std::string::npos);
    EXPECT_EQ(to.data.find("BCC"), std::string::npos);

    // A blind copy gets a transaction of its own, still without a BCC header.
    ASSERT_EQ(errorOf(smtp, message("a@x.org", "", "Hidden@x.org")), "");
    EXPECT_EQ(server.mail(5).to, std::vector<std::string> {"hidden@x.org"});
    EXPECT_EQ(server.mail(5).data.find("idden"), std::string::npos);
    EXPECT_EQ(events.errors.size(), 0u);

    smtp.quit();
    EXPECT_FALSE(smtp.connected());
    EXPECT_EQ(events.sent.back(), "QUIT\r\n");
    EXPECT_EQ(events.quits, 1);
}

TEST(MoxSmtp, AnAttachmentArrivesWhole)
{
    SmtpTestServer server;
    ASSERT_TRUE(server.running());
    test::TempDir dir;
    std::vector<std::uint8_t> bytes(2 * 1024 * 1024);
    std::uint32_t state = 12345;
    for (auto& b : bytes) b = static_cast<std::uint8_t>((state = state * 1103515245u + 12345u) >> 24);
    test::writeBytes(dir / "icons.bin", bytes);

    MoxSmtp smtp;
    SmtpEvents events(smtp);
    smtp.host = "127.0.0.1";
    smtp.port = std::to_string(server.port());
    smtp.timeOut = 5000;
    MoxMsg msg = message("a@x.org");
    msg.attachedFiles.add((dir / "icons.bin").string());
    const auto start = std::chrono::steady_clock::now();
    smtp.connect();
    ASSERT_EQ(errorOf(smtp, msg), "");
    const auto took = std::chrono::steady_clock::now() - start;
    const std::string data = server.mail(1).data;
    const std::string encoded = vextral::net::base64Encode(std::string(bytes.begin(), bytes.end()));
    EXPECT_NE(data.find("\r\n\r\n" + encoded + "\r\n"), std::string::npos);
    EXPECT_EQ(events.progress.size(), 11u); // every 10 % and 100 after RSET
    EXPECT_LT(took, std::chrono::seconds(10));
}

TEST(MoxSmtp, RejectedTransactionsAreReportedAndStopTheSend)
{
    SmtpTestServer server({"--reject", "nobody@x.org"});
    ASSERT_TRUE(server.running());
    MoxSmtp smtp;
    SmtpEvents events(smtp);
    smtp.host = "localhost";
    smtp.port = std::to_string(server.port());
    smtp.timeOut = 5000;

    // Checks before anything is sent.
    EXPECT_EQ(errorOf(smtp, message("a@x.org")), "Not connected.");
    smtp.connect();
    ASSERT_TRUE(smtp.connected());
    MoxMsg noFrom = message("a@x.org");
    noFrom.from.clear();
    EXPECT_EQ(errorOf(smtp, noFrom), "\"From\" field not specified.");
    EXPECT_EQ(errorOf(smtp, message("")), "\"SendTo\" field not specified.");
    EXPECT_TRUE(events.sent.size() == 1 && events.sent[0].rfind("HELO ", 0) == 0); // nothing sent

    // To succeeds, CC is refused, BCC is never tried.
    const test::SendFailure refused = test::sendFailure(smtp, message("a@x.org", "nobody@x.org", "e@x.org"));
    EXPECT_EQ(refused.message, "The mail was not sent: 550 No such user here");
    EXPECT_EQ(refused.reason, "550 No such user here");
    EXPECT_EQ(server.mail(1).to, std::vector<std::string> {"a@x.org"});
    EXPECT_EQ(server.mailCount(), 1);
    ASSERT_EQ(events.errors.size(), 1u);
    EXPECT_EQ(events.errors[0], "550 No such user here");
    EXPECT_EQ(events.afterSends, 0);
    EXPECT_FALSE(smtp.connected());
    EXPECT_EQ(events.quits, 1);
    EXPECT_EQ(std::count(events.sent.begin(), events.sent.end(), "RCPT TO:<e@x.org>\r\n"), 0);

    // A To ending in a comma sends an empty address as well (this server takes it).
    smtp.connect();
    ASSERT_TRUE(smtp.connected());
    EXPECT_EQ(errorOf(smtp, message("a@x.org,")), "");
    EXPECT_EQ(std::count(events.sent.begin(), events.sent.end(), "RCPT TO:<>\r\n"), 1);
    EXPECT_EQ(server.mail(2).to, (std::vector<std::string> {"a@x.org", "<>"})); // its way of writing it
    EXPECT_EQ(events.errors.size(), 1u);

    // A server that cannot be reached (the open connection is to another port):
    // no error event, and no connection to send on.
    smtp.port = std::to_string(test::unusedPort());
    // The next send says so, with the reason.
    smtp.connect();
    EXPECT_FALSE(smtp.connected());
    EXPECT_EQ(events.errors.size(), 1u);
    const test::SendFailure unreachable = test::sendFailure(smtp, message("a@x.org"));
    EXPECT_EQ(unreachable.message, "Not connected.");
    EXPECT_EQ(unreachable.reason, "Cannot connect to localhost:" + smtp.port + ".");

    // A port that is not a number means 25.
    smtp.port = "abc";
    smtp.connect();
    const std::string reason = test::sendFailure(smtp, message("a@x.org")).reason;
    EXPECT_NE(reason.find(":25"), std::string::npos) << reason;
}

TEST(MoxSmtp, AddressHelpers)
{
    EXPECT_TRUE(MoxSmtp::isIPAddress("127.0.0.1"));
    EXPECT_TRUE(MoxSmtp::isIPAddress("255.255.255.0255"));
    EXPECT_FALSE(MoxSmtp::isIPAddress("256.1.1.1"));
    EXPECT_FALSE(MoxSmtp::isIPAddress("1.2.3"));
    EXPECT_FALSE(MoxSmtp::isIPAddress("1.2.3.4.5"));
    EXPECT_FALSE(MoxSmtp::isIPAddress("1.2..4"));
    EXPECT_FALSE(MoxSmtp::isIPAddress("mail.x.org"));

    EXPECT_EQ(MoxSmtp::cleanAddress(" Joe (work) <joe@x.org> (old) ", false), "joe@x.org");
    EXPECT_EQ(MoxSmtp::cleanAddress("joe@x.org", true), "<joe@x.org>");
    EXPECT_EQ(MoxSmtp::cleanAddress("a) b (c", false), "a) b (c"); // ends, keeps unmatched marks
    EXPECT_EQ(MoxSmtp::cleanAddress("x> <y", false), "x> <y");

    EXPECT_EQ(MoxSmtp::parseAddressList("\"Doe, John\" <John@X.org>, Mary@Y.org"),
              (std::vector<std::string> {"john@x.org", "mary@y.org"}));
    EXPECT_EQ(MoxSmtp::parseAddressList("a@x.org,"), (std::vector<std::string> {"a@x.org", ""}));
    EXPECT_EQ(MoxSmtp::parseAddressList("  "), std::vector<std::string> {});
    EXPECT_EQ(MoxSmtp::parseAddressList("\"unpaired a@x.org"), std::vector<std::string> {"unpaired a@x.org"});
}
