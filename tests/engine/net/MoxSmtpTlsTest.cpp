// The mail client over TLS (from the start, or upgraded with STARTTLS) and
// logging in, against aiosmtpd with a certificate this test makes.

#include "net/MoxSmtp.h"

#include "TestSupport.h"
#include "support/NetPeers.h"
#include "support/SmtpPeer.h"

#include <gtest/gtest.h>

using vextral::net::MoxMsg;
using vextral::net::MoxSmtp;
using vextral::net::SmtpSecurity;
namespace test = vextral::test;

namespace {

struct Certificates {
    test::TempDir dir;
    bool made = test::makeCertificates(dir.path(), {"localhost"}) &&
                test::makeCertificates(dir.path(), {"mail.elsewhere.test"}, "other");
    test::ScopedEnv trust {"SSL_CERT_FILE", (dir / "ca.pem").string()};
    std::vector<std::string> server(const std::string& mode, const std::string& name = "server") const
    {
        return {"--tls-mode", mode,
                "--cert",     (dir / (name + ".pem")).string(),
                "--key",      (dir / (name + ".key")).string(),
                "--login",    "icons:s3cret"};
    }
};

MoxMsg message()
{
    MoxMsg msg;
    msg.from = "me@x.org";
    msg.sendTo = "you@y.org";
    msg.subject = "over TLS";
    msg.text = {"hello"};
    return msg;
}

void configure(MoxSmtp& smtp, int port, SmtpSecurity security)
{
    smtp.host = "localhost";
    smtp.port = std::to_string(port);
    smtp.timeOut = 5000;
    smtp.security = security;
    smtp.userName = "icons";
    smtp.password = "s3cret";
}

} // namespace

TEST(MoxSmtpTls, StartTlsAndTlsWithALogin)
{
    Certificates certificates;
    ASSERT_TRUE(certificates.made);
    for (const auto& [mode, security] :
         {std::pair {"starttls", SmtpSecurity::StartTls}, std::pair {"tls", SmtpSecurity::Tls}}) {
        SCOPED_TRACE(mode);
        // PLAIN after STARTTLS; LOGIN (the only one offered) over TLS.
        std::vector<std::string> arguments = certificates.server(mode);
        if (security == SmtpSecurity::Tls) arguments.push_back("--only-login");
        test::SmtpTestServer server(arguments);
        ASSERT_TRUE(server.running());
        MoxSmtp smtp;
        test::SmtpEvents events(smtp);
        configure(smtp, server.port(), security);
        smtp.connect();
        ASSERT_TRUE(smtp.connected()) << test::sendFailure(smtp, message()).reason;
        ASSERT_EQ(test::sendFailure(smtp, message()).message, "");
        const test::MailRecord mail = server.mail(1);
        EXPECT_TRUE(mail.ehlo);
        EXPECT_TRUE(mail.tls);
        EXPECT_EQ(mail.login, "icons");
        EXPECT_EQ(mail.to, std::vector<std::string> {"you@y.org"});
        // The password never shows in what the client reports having sent.
        for (const std::string& text : events.sent) EXPECT_EQ(text.find("czNjcmV0"), std::string::npos) << text;
        EXPECT_EQ(std::count(events.sent.begin(), events.sent.end(),
                             security == SmtpSecurity::Tls ? "AUTH LOGIN\r\n" : "AUTH PLAIN ****\r\n"),
                  1);
        smtp.quit();
    }
}

TEST(MoxSmtpTls, WrongPasswordAndWrongHostAreRefused)
{
    Certificates certificates;
    ASSERT_TRUE(certificates.made);
    {
        test::SmtpTestServer server(certificates.server("starttls"));
        ASSERT_TRUE(server.running());
        MoxSmtp smtp;
        test::SmtpEvents events(smtp);
        configure(smtp, server.port(), SmtpSecurity::StartTls);
        smtp.password = "guess";
        smtp.connect();
        EXPECT_FALSE(smtp.connected());
        ASSERT_EQ(events.errors.size(), 1u);
        EXPECT_EQ(events.errors[0].substr(0, 4), "535 ") << events.errors[0];
        // The caller learns it from the send: not connected, because of the refused login.
        const test::SendFailure failure = test::sendFailure(smtp, message());
        EXPECT_EQ(failure.message, "Not connected.");
        EXPECT_EQ(failure.reason.substr(0, 4), "535 ") << failure.reason;
        EXPECT_EQ(server.mailCount(), 0);
    }
    for (const auto& [mode, security] :
         {std::pair {"starttls", SmtpSecurity::StartTls}, std::pair {"tls", SmtpSecurity::Tls}}) {
        SCOPED_TRACE(mode);
        test::SmtpTestServer server(certificates.server(mode, "other"));
        ASSERT_TRUE(server.running());
        MoxSmtp smtp;
        test::SmtpEvents events(smtp);
        configure(smtp, server.port(), security);
        smtp.connect();
        EXPECT_FALSE(smtp.connected());
        ASSERT_EQ(events.errors.size(), 1u);
        EXPECT_NE(events.errors[0].find("TLS failed"), std::string::npos) << events.errors[0];
        EXPECT_EQ(test::sendFailure(smtp, message()).reason.rfind("TLS failed: ", 0), 0u);
        EXPECT_EQ(server.mailCount(), 0);
        EXPECT_EQ(std::count_if(events.sent.begin(), events.sent.end(),
                                [](const std::string& s) { return s.rfind("AUTH", 0) == 0; }),
                  0);
    }
}
