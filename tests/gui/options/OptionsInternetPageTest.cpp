// The options dialog's Internet page, read from Option.ini each time it is shown.
#include "gui/options/OptionsDesktop.h"

using namespace vextral::test::options;

TEST(OptionsDialog, TheInternetPageIsLoadedEachTimeItIsShown)
{
    Desktop desk;
    desk.writeIni("[Internet]\nSmtpIp=mail.example\nReplyto=me@example.org\nConnection=45\nProxy=1\n"
                  "ProxyIP=proxy.example\nProxyPort=3128\n");
    OptionsDialog* d = desk.open();
    EXPECT_EQ(control<QLineEdit>(d, "editSmtp")->text(), ""); // not shown yet
    showPage(d, 2);
    EXPECT_EQ(control<QLineEdit>(d, "editSmtp")->text(), "mail.example");
    EXPECT_EQ(control<QLineEdit>(d, "editReply")->text(), "me@example.org");
    EXPECT_EQ(control<QLineEdit>(d, "editConnection")->text(), "45");
    EXPECT_TRUE(checked(d, "chbProxy"));
    EXPECT_EQ(control<QLineEdit>(d, "editProxy")->text(), "proxy.example");
    EXPECT_EQ(control<QLineEdit>(d, "editProxyPort")->text(), "3128");

    // Typed, left and shown again: the stored values are back.
    type(d, "editSmtp", QStringLiteral("typed.example"));
    type(d, "editProxyPort", QStringLiteral("8000"));
    click(d, "chbProxy");
    showPage(d, 0);
    EXPECT_EQ(control<QLineEdit>(d, "editSmtp")->text(), "typed.example"); // until the page shows again
    showPage(d, 2);
    EXPECT_EQ(control<QLineEdit>(d, "editSmtp")->text(), "mail.example");
    EXPECT_EQ(control<QLineEdit>(d, "editProxyPort")->text(), "3128");
    EXPECT_TRUE(checked(d, "chbProxy"));

    // Typed and confirmed from another page: what was typed is written, the timeout as typed.
    type(d, "editSmtp", QStringLiteral("smtp.example"));
    type(d, "editConnection", QStringLiteral("soon"));
    click(d, "chbProxy");
    showPage(d, 1);
    click(d, "SpeedButton1");
    EXPECT_EQ(desk.stored("Internet", "SmtpIp"), "smtp.example");
    EXPECT_EQ(desk.stored("Internet", "Connection"), "soon");
    EXPECT_EQ(desk.stored("Internet", "Proxy"), "0");
    EXPECT_EQ(desk.stored("Internet", "ProxyIP"), "proxy.example");
    desk.settle();

    // Confirmed without showing the page: the stored values stay.
    d = desk.open();
    click(d, "SpeedButton1");
    EXPECT_EQ(desk.stored("Internet", "SmtpIp"), "smtp.example");
    EXPECT_EQ(desk.stored("Internet", "Replyto"), "me@example.org");
    EXPECT_EQ(desk.stored("Internet", "ProxyPort"), "3128");
}
