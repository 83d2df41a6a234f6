// TLS through its plugin, in a process of its own (a process loads the
// plugin once): with the plugin a mail goes over STARTTLS; without it the
// connection fails with what it needs, and nothing else breaks.

#include "net/TlsPlugin.h"

#include "TestSupport.h"
#include "support/NetPeers.h"
#include "support/SmtpPeer.h"

#include <gtest/gtest.h>

#include <string>

namespace {

namespace test = vextral::test;

struct MailRun {
    int status = -1;
    std::string output; // standard output and error
};

// vextral_mail_child: one mail over STARTTLS to the server, logged in as
// ann, with the plugins looked for in pluginFolder (the built ones when
// empty).
MailRun sendMail(const test::SmtpTestServer& server, const test::TempDir& certificates, const std::string& pluginFolder)
{
    test::TempDir dir;
    test::writeBytes(dir / "note.txt", {'h', 'i', '\n'});
    MailRun run;
    const std::string before = pluginFolder.empty() ? "" : "VEXTRAL_PLUGIN_DIR=" + test::shellQuote(pluginFolder) + " ";
    run.status = test::runCommand(before + test::shellQuote(VEXTRAL_MAIL_CHILD) + " " + std::to_string(server.port()) +
                                      " " + test::shellQuote((certificates / "ca.pem").string()) + " " +
                                      test::shellQuote((dir / "note.txt").string()) + " 2>&1",
                                  &run.output);
    return run;
}

TEST(TlsPlugin, MailOverStartTlsWithAndWithoutThePlugin)
{
    test::TempDir certificates;
    ASSERT_TRUE(test::makeCertificates(certificates.path(), {"localhost"}));
    test::SmtpTestServer server({"--tls-mode", "starttls", "--cert", (certificates / "server.pem").string(), "--key",
                                 (certificates / "server.key").string(), "--login", "ann:secret"});
    ASSERT_TRUE(server.running());

    const MailRun sent = sendMail(server, certificates, "");
    EXPECT_EQ(sent.status, 0) << sent.output;
    EXPECT_TRUE(server.mail(1).tls);

    test::TempDir empty;
    const MailRun refused = sendMail(server, certificates, empty.path().string());
    EXPECT_EQ(refused.status, 1) << refused.output;
    EXPECT_NE(refused.output.find(std::string("TLS failed: secure connections need OpenSSL (package ") +
                                  vextral::net::kTlsPackage + ")"),
              std::string::npos)
        << refused.output;
    EXPECT_EQ(server.mailCount(), 1);

    // A plugin that cannot be used says why.
    test::TempDir broken;
    const std::string words = "Not a library at all, only words that are long enough for the ELF header.\n";
    test::writeBytes(broken / vextral::net::kTlsPluginFile, std::vector<std::uint8_t>(words.begin(), words.end()));
    const MailRun stale = sendMail(server, certificates, broken.path().string());
    EXPECT_EQ(stale.status, 1) << stale.output;
    EXPECT_NE(stale.output.find("TLS failed: secure connections need OpenSSL (package libssl3): the plugin " +
                                (broken / vextral::net::kTlsPluginFile).string() +
                                " cannot be used: invalid ELF header"),
              std::string::npos)
        << stale.output;
    EXPECT_EQ(server.mailCount(), 1);
}

} // namespace
