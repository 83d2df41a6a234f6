#include "settings/OptionsForm.h"

#include "TestSupport.h"
#include "core/Error.h"

#include <fstream>
#include <gtest/gtest.h>

using namespace vextral::settings;

TEST(MailServerOptions, PortSecurityAndUserNameAreReadCheckedAndWritten)
{
    vextral::test::TempDir dir;
    const auto ini = dir / "Option.ini";
    std::ofstream(ini) << "[Internet]\nSmtpIp=mail.example\n";
    InternetOptions o = InternetOptions::load(ProfileFile(ini.string()));
    EXPECT_EQ(o.smtpPort, "25");
    EXPECT_EQ(o.smtpSecurity, "None");
    EXPECT_EQ(o.smtpUser, "");

    std::ofstream(ini) << "[Internet]\nSmtpPort=465\nSmtpSecurity=tls\nSmtpUser=ann\n";
    o = InternetOptions::load(ProfileFile(ini.string()));
    EXPECT_EQ(o.smtpPort, "465");
    EXPECT_EQ(o.smtpSecurity, "TLS");
    EXPECT_EQ(o.smtpSecurityIndex(), 2);
    std::ofstream(ini) << "[Internet]\nSmtpSecurity=SSL-please\n";
    EXPECT_EQ(InternetOptions::load(ProfileFile(ini.string())).smtpSecurity, "None") << "unknown texts read as None";

    OptionsForm form;
    form.load(ProfileFile(ini.string()));
    form.internet = InternetOptions {};
    form.internet->smtpPort = "587";
    form.internet->smtpSecurity = "STARTTLS";
    form.internet->smtpUser = "ann@example.org";
    form.store(ProfileFile(ini.string()));
    const auto stored = ProfileFile(ini.string()).read();
    EXPECT_EQ(stored.value("Internet", "SmtpPort"), "587");
    EXPECT_EQ(stored.value("Internet", "SmtpSecurity"), "STARTTLS");
    EXPECT_EQ(stored.value("Internet", "SmtpUser"), "ann@example.org");

    // A port that is no port, or a user name with a line break, writes nothing.
    for (const auto& [port, user] : {std::pair {"70000", "ann"}, std::pair {"x", "ann"}, std::pair {"25", "a\nb"}}) {
        form.internet->smtpPort = port;
        form.internet->smtpUser = user;
        EXPECT_THROW(form.store(ProfileFile(ini.string())), vextral::Error) << port << " " << user;
        EXPECT_EQ(ProfileFile(ini.string()).read().value("Internet", "SmtpPort"), "587");
    }
}
