// "Email your friends": the dialog sends through a real SMTP server
// (Debian's aiosmtpd) started on 127.0.0.1 by the test, and the options
// dialog keeps the mail server's port, security and user name.
#include "gui/mail/FriendDialog.h"

#include "TestSupport.h"
#include "gui/options/OptionsDialog.h"
#include "gui/support/DialogDesktop.h"
#include "settings/ProfileFile.h"
#include "support/EximPeer.h"
#include "support/SmtpPeer.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTimer>

#include <gtest/gtest.h>

#include <fstream>

using namespace vextral;
using vextral::gui::FriendDialog;
using vextral::test::click;
using vextral::test::control;
using vextral::test::waitUntil;
namespace fs = std::filesystem;

namespace {

// The shared aiosmtpd server, refusing one recipient and taking one login.
struct SmtpServer : test::SmtpTestServer {
    SmtpServer() : SmtpTestServer({"--reject", "reject@example.net", "--login", "ann:secret"}) {}
    std::vector<fs::path> mails() const { return messageFiles(); }
};

// Python's email package reads a received mail: the decoded subject, then
// per part its content type, its file name and its content (text as UTF-8),
// each in hex.
QStringList readMail(const fs::path& mail)
{
    const char* script = R"(
import sys, email, email.policy
m = email.message_from_bytes(open(sys.argv[1], 'rb').read(), policy=email.policy.default)
print(str(m['subject']).encode().hex(), m['from'], m['x-mailer'])
for p in (m.iter_parts() if m.is_multipart() else [m]):
    c = p.get_content()
    print(p.get_content_type(), (p.get_filename() or '').encode().hex(),
          (c.encode() if isinstance(c, str) else c).hex())
)";
    std::string out;
    EXPECT_EQ(test::runCommand(
                  "/usr/bin/python3 -c " + test::shellQuote(script) + " " + test::shellQuote(mail.string()), &out),
              0)
        << out;
    return QString::fromStdString(out).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

QString hex(const QByteArray& bytes) { return QString::fromLatin1(bytes.toHex()); }

struct Desktop : test::Desktop {
    void writeIni(const std::string& text) { std::ofstream(home / "Option.ini", std::ios::binary) << text; }
    std::optional<std::string> stored(const char* section, const char* key) const
    {
        return settings::ProfileFile((home / "Option.ini").string()).read().value(section, key);
    }
    FriendDialog* openMail() { return open<FriendDialog>("menuFriend"); }
};

QString status(QWidget* d) { return control<QLabel>(d, "labStatus")->text(); }

// What the status label and the Send button showed while a send ran.
struct Watch {
    QStringList statuses;
    QList<bool> sendEnabled;
    QTimer timer;
    explicit Watch(QWidget* d)
    {
        timer.setInterval(0);
        QObject::connect(&timer, &QTimer::timeout, [this, d] {
            const QString s = status(d);
            if (statuses.isEmpty() || statuses.back() != s) statuses << s;
            sendEnabled << control<QPushButton>(d, "spbSend")->isEnabled();
        });
        timer.start();
    }
};

} // namespace

TEST(FriendDialog, SendsTheMailWithItsAttachmentToTheServer)
{
    Desktop desk;
    SmtpServer server;
    ASSERT_GT(server.port(), 0) << "aiosmtpd did not start";
    desk.writeIni("[Internet]\nSmtpIp=127.0.0.1\nReplyto=me@example.org\nConnection=10\nSmtpPort=" +
                  std::to_string(server.port()) + "\n");
    const std::vector<std::uint8_t> picture = {0x42, 0x4D, 0x00, 0xFF, 0x2E, 0x0D, 0x0A, 0x2E, 0x01, 0x80};
    test::writeBytes(desk.home / "star.bmp", picture);

    FriendDialog* d = desk.openMail();
    ASSERT_TRUE(d);
    EXPECT_EQ(d->windowTitle(), "Email your friends");
    EXPECT_FALSE(desk.window.isEnabled());
    EXPECT_EQ(status(d), "Status:");
    EXPECT_EQ(control<QLabel>(d, "labTotal")->text(), "Total:");
    desk.prompts.fileAnswers << QString::fromStdString((desk.home / "star.bmp").string());
    click(d, "spbAdd");
    EXPECT_EQ(control<QLabel>(d, "labTotal")->text(), "Total: 1 image");
    EXPECT_TRUE(desk.prompts.openFilters.isEmpty()) << "any file may be attached";
    const QString subject = QString::fromUtf8("Ic\xc3\xb4nes \xe2\x82\xac");
    control<QLineEdit>(d, "editTo")->setText(QStringLiteral("friend@example.net"));
    control<QLineEdit>(d, "editSubject")->setText(subject);
    control<QPlainTextEdit>(d, "memText")->setPlainText(QStringLiteral("Hello,\n.\nsee the icon."));

    Watch watch(d);
    click(d, "spbSend");
    watch.timer.stop();
    EXPECT_TRUE(desk.prompts.errors.isEmpty()) << desk.prompts.errors.join(u'|').toStdString();
    EXPECT_EQ(status(d), "Send completed.");
    EXPECT_TRUE(control<QPushButton>(d, "spbSend")->isEnabled());
    EXPECT_TRUE(watch.sendEnabled.contains(false)) << "Send is disabled while the mail goes out";
    EXPECT_FALSE(watch.sendEnabled.contains(true));
    for (const char* seen : {"Connected to the Smtp server.", "Sending E_mail... 100% completed."})
        EXPECT_TRUE(watch.statuses.contains(QLatin1String(seen)))
            << seen << ": " << watch.statuses.join(u'|').toStdString();

    ASSERT_EQ(server.mails().size(), 1u);
    const QStringList mail = readMail(server.mails()[0]);
    ASSERT_EQ(mail.size(), 3);
    EXPECT_EQ(mail[0], hex(subject.toUtf8()) + " me@example.org Vextral 2.1");
    // The line break before the delimiter belongs to the delimiter.
    EXPECT_EQ(mail[1], "text/plain  " + hex("Hello,\r\n.\r\nsee the icon."));
    EXPECT_EQ(mail[2], "image/bmp " + hex("star.bmp") + " " +
                           hex(QByteArray(reinterpret_cast<const char*>(picture.data()), picture.size())));

    // A second Send with UUEncode: the list's file once more, not twice.
    auto* encoding = control<QGroupBox>(d, "rgpEncoding");
    const auto radios = encoding->findChildren<QRadioButton*>();
    ASSERT_EQ(radios.size(), 2);
    EXPECT_EQ(radios[0]->text(), "MIM&E");
    EXPECT_TRUE(radios[0]->isChecked());
    EXPECT_EQ(radios[1]->text(), "&UUEncode");
    radios[1]->setChecked(true);
    click(d, "spbSend");
    EXPECT_EQ(status(d), "Send completed.");
    ASSERT_EQ(server.mails().size(), 2u);
    const QStringList second = readMail(server.mails()[1]);
    ASSERT_EQ(second.size(), 3);
    EXPECT_EQ(second[0], mail[0]);
    EXPECT_EQ(second[1], mail[1] + hex("\r\n")) << "Base64 text keeps its last line break";
    EXPECT_EQ(second[2], mail[2]);

    // Closing says goodbye to the server and enables the window.
    click(d, "spbClose");
    desk.settle();
    EXPECT_TRUE(desk.window.isEnabled());
    EXPECT_FALSE(desk.window.findChild<FriendDialog*>());
}

TEST(FriendDialog, RefusedRecipientsUnreachableServersAndMissingSettings)
{
    Desktop desk;
    SmtpServer server;
    ASSERT_GT(server.port(), 0) << "aiosmtpd did not start";

    // No settings: the information box, then the options dialog on its Internet page.
    FriendDialog* d = desk.openMail();
    control<QLineEdit>(d, "editTo")->setText(QStringLiteral("reject@example.net"));
    control<QLineEdit>(d, "editSubject")->setText(QStringLiteral("Icons"));
    click(d, "spbSend");
    EXPECT_EQ(desk.prompts.informations, QStringList {"Please enter your email settings first."});
    auto* options = desk.window.findChild<gui::OptionsDialog*>();
    ASSERT_TRUE(options);
    auto* pages = control<QTabWidget>(options, "pctOption");
    EXPECT_EQ(pages->currentWidget()->objectName(), "TabSheet3");
    EXPECT_TRUE(d->isVisible()) << "the mail dialog stays open";
    // The mail server's port, security and user name are kept by OK.
    control<QLineEdit>(options, "editSmtp")->setText(QStringLiteral("127.0.0.1"));
    control<QLineEdit>(options, "editReply")->setText(QStringLiteral("me@example.org"));
    control<QLineEdit>(options, "editConnection")->setText(QStringLiteral("5"));
    EXPECT_EQ(control<QLineEdit>(options, "editSmtpPort")->text(), "25");
    EXPECT_EQ(control<QComboBox>(options, "cmbSmtpSecurity")->currentText(), "None");
    control<QLineEdit>(options, "editSmtpPort")->setText(QString::number(server.port()));
    control<QComboBox>(options, "cmbSmtpSecurity")->setCurrentIndex(1);
    control<QLineEdit>(options, "editSmtpUser")->setText(QStringLiteral("ann"));
    click(options, "SpeedButton1");
    desk.settle();
    EXPECT_EQ(desk.stored("Internet", "SmtpPort"), std::to_string(server.port()));
    EXPECT_EQ(desk.stored("Internet", "SmtpSecurity"), "STARTTLS");
    EXPECT_EQ(desk.stored("Internet", "SmtpUser"), "ann");

    // A user name asks for the password; cancelling sends nothing.
    click(d, "spbSend");
    EXPECT_EQ(desk.prompts.passwordTexts.size(), 1);
    EXPECT_EQ(status(d), "Status:");
    // With security None the login goes over the plain connection: the
    // password is asked once and kept for the next send.
    desk.writeIni("[Internet]\nSmtpIp=127.0.0.1\nReplyto=me@example.org\nConnection=5\nSmtpUser=ann\nSmtpPort=" +
                  std::to_string(server.port()) + "\n");
    control<QLineEdit>(d, "editTo")->setText(QStringLiteral("friend@example.net"));
    desk.prompts.passwordAnswers << QStringLiteral("wrong") << QStringLiteral("secret");
    click(d, "spbSend");
    EXPECT_TRUE(status(d).startsWith("535")) << status(d).toStdString();
    EXPECT_EQ(desk.prompts.errors, QStringList {"Not connected.\n\n" + status(d)}) << "the server's reply in the box";
    desk.prompts.errors.clear();
    click(d, "spbSend");
    EXPECT_EQ(status(d), "Send completed.");
    click(d, "spbSend");
    EXPECT_EQ(status(d), "Send completed.");
    EXPECT_EQ(desk.prompts.passwordTexts.size(), 3) << "asked again after a refusal, then kept";
    EXPECT_EQ(server.logins(), "ann wrong\nann secret\n") << "one login: the connection stays open between sends";
    ASSERT_EQ(server.mails().size(), 2u);
    for (const auto& mail : server.mails()) fs::remove(mail);
    control<QLineEdit>(d, "editTo")->setText(QStringLiteral("reject@example.net"));
    desk.writeIni("[Internet]\nSmtpIp=127.0.0.1\nReplyto=me@example.org\nConnection=5\nSmtpPort=" +
                  std::to_string(server.port()) + "\n");

    // No subject: the other information box.
    desk.prompts.informations.clear();
    control<QLineEdit>(d, "editSubject")->clear();
    click(d, "spbSend");
    EXPECT_EQ(desk.prompts.informations,
              QStringList {"Please enter the person who the mail will be sent to and the subject."});
    control<QLineEdit>(d, "editSubject")->setText(QStringLiteral("Icons"));

    // Add cancelled, Delete with nothing selected: the count only.
    click(d, "spbAdd");
    EXPECT_EQ(control<QLabel>(d, "labTotal")->text(), "Total: 0 images");
    click(d, "spbDelete");
    EXPECT_EQ(control<QLabel>(d, "labTotal")->text(), "Total: 0 images");

    // The server refuses the recipient: its answer in the label and an error box.
    click(d, "spbSend");
    EXPECT_TRUE(status(d).startsWith("550")) << status(d).toStdString();
    EXPECT_TRUE(status(d).contains("No such user")) << status(d).toStdString();
    ASSERT_EQ(desk.prompts.errors.size(), 1);
    EXPECT_TRUE(desk.prompts.errors[0].startsWith("The mail was not sent")) << desk.prompts.errors[0].toStdString();
    EXPECT_TRUE(server.mails().empty());

    // A good recipient afterwards goes through on a fresh connection.
    control<QLineEdit>(d, "editTo")->setText(QStringLiteral("friend@example.net"));
    click(d, "spbSend");
    EXPECT_EQ(status(d), "Send completed.");
    EXPECT_EQ(server.mails().size(), 1u);

    // Nobody listening: "Not connected." in the error box, no success.
    const int port = test::unusedPort();
    desk.writeIni(
        "[Internet]\nSmtpIp=127.0.0.1\nReplyto=me@example.org\nConnection=2\nSmtpPort=" + std::to_string(port) + "\n");
    desk.prompts.errors.clear();
    control<QLabel>(d, "labStatus")->setText(QStringLiteral("Status:"));
    click(d, "spbSend");
    EXPECT_EQ(desk.prompts.errors,
              QStringList {"Not connected.\n\nCannot connect to 127.0.0.1:" + QString::number(port) + "."});
    EXPECT_NE(status(d), "Send completed.");
    d->close();
    desk.settle();
}

// Through Debian's exim, with STARTTLS and a login: a refused password shows
// exim's own 535 reply in the error box; the right one delivers the mail.
TEST(FriendDialog, ThroughEximTheRefusalIsShownAndTheMailDelivered)
{
    if (!test::EximServers::installed())
        GTEST_SKIP() << test::EximServers::kProgram << " is missing (exim4-daemon-light, tools/install-deps.sh test)";
    test::EximServers exim;
    ASSERT_TRUE(exim.running()) << exim.log();
    test::ScopedEnv trust("SSL_CERT_FILE", exim.caFile().string());
    Desktop desk;
    desk.writeIni("[Internet]\nSmtpIp=localhost\nReplyto=ann@local.test\nConnection=5\nSmtpSecurity=STARTTLS\n"
                  "SmtpUser=ann\nSmtpPort=" +
                  std::to_string(exim.port()) + "\n");
    FriendDialog* d = desk.openMail();
    ASSERT_TRUE(d);
    control<QLineEdit>(d, "editTo")->setText(QString::fromUtf8("J\xc3\xbcrgen <j@local.test>"));
    control<QLineEdit>(d, "editSubject")->setText(QStringLiteral("Icons"));
    desk.prompts.passwordAnswers << QStringLiteral("guess") << QStringLiteral("secret");
    click(d, "spbSend");
    EXPECT_EQ(desk.prompts.errors, QStringList {"Not connected.\n\n535 Incorrect authentication data"});
    desk.prompts.errors.clear();
    click(d, "spbSend");
    EXPECT_TRUE(desk.prompts.errors.isEmpty()) << desk.prompts.errors.join(u'|').toStdString();
    EXPECT_EQ(status(d), "Send completed.");
    EXPECT_EQ(exim.localMails(1).size(), 1u) << exim.log();
    d->close();
}
