// "Check for the latest version": the dialog against real HTTP servers on
// 127.0.0.1, and the menu command that opens it.
#include "gui/update/CheckDialog.h"

#include "TestSupport.h"
#include "core/ProductInfo.h"
#include "gui/common/TitleWidth.h"
#include "gui/support/DesktopOpener.h"
#include "gui/support/DialogDesktop.h"
#include "gui/support/ScriptedPrompts.h"
#include "gui/support/Widgets.h"
#include "support/HttpPeer.h"
#include "support/TextFiles.h"

#include <QElapsedTimer>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>

using namespace vextral;
using vextral::gui::CheckDialog;
using vextral::test::control;
using vextral::test::fileText;
using vextral::test::ScriptedHttpServer;
using vextral::test::ScriptedPrompts;
using vextral::test::TempDir;

namespace {

using vextral::test::put;

// A dialog over a program folder of its own, with the Internet settings given.
struct Dialog {
    ScriptedPrompts prompts;
    TempDir program;
    std::unique_ptr<CheckDialog> dialog;
    explicit Dialog(const std::string& url, const std::string& option = "[Internet]\nConnection=1\n")
    {
        put(program / "Option.ini", option);
        dialog = std::make_unique<CheckDialog>(program.path().string(), (program / "Option.ini").string(), prompts,
                                               nullptr, url);
        dialog->show();
    }
    void click(const char* name) { control<QPushButton>(dialog.get(), name)->click(); }
    QString text(const char* label) { return control<QLabel>(dialog.get(), label)->text(); }
    bool enabled(const char* name) { return control<QPushButton>(dialog.get(), name)->isEnabled(); }
    int entries() { return control<QListWidget>(dialog.get(), "LstCheck")->count(); }
};

ScriptedHttpServer::Script answer(std::string body)
{
    return [body](int, const ScriptedHttpServer::Connection& c) { c.send("HTTP/1.0 200 OK\r\n\r\n" + body); };
}

} // namespace

TEST(CheckDialog, ChecksShowTheLatestVersionAndDownloadOpensIt)
{
    TempDir site;
    const std::string first = "[Vextral]\r\nversion=2.6\r\nRelease=July 4, 2002\r\n"
                              "Location=http://mirror.example/vextral26.zip\r\n";
    put(site / "update.ini", first);
    test::PythonHttpServer server(site.path().string());
    Dialog d(server.url("/update.ini"));
    CheckDialog& dialog = *d.dialog;

    EXPECT_EQ(dialog.objectName(), "FormCheck");
    EXPECT_EQ(dialog.windowTitle(), "Check for the latest version");
    // A fixed size, wide enough for the whole title in a title bar.
    EXPECT_EQ(dialog.height(), 259);
    EXPECT_GE(dialog.width(), std::max(268, vextral::gui::titleBarWidth(dialog)));
    EXPECT_EQ(dialog.minimumSize(), dialog.maximumSize());
    EXPECT_EQ(control<QGroupBox>(&dialog, "GroupBox1")->title(), "Current version");
    EXPECT_EQ(control<QGroupBox>(&dialog, "GroupBox2")->title(), "Latest version");
    EXPECT_EQ(d.text("labCurrentVer"), "Version number: 2.1");
    EXPECT_EQ(d.text("labCurrentDate"), "Release date: May 5, 2001");
    EXPECT_EQ(d.text("labLatestVer"), "Version number: ");
    EXPECT_EQ(d.text("labLatestDate"), "Release date: ");
    EXPECT_FALSE(control<QListWidget>(&dialog, "LstCheck")->isVisible());
    EXPECT_EQ(control<QPushButton>(&dialog, "spbCheck")->text(), "C&heck");
    EXPECT_EQ(control<QPushButton>(&dialog, "spbDownload")->text(), "&Download");
    EXPECT_EQ(control<QPushButton>(&dialog, "spbCancel")->text(), "&Cancel");
    EXPECT_FALSE(d.enabled("spbDownload"));

    d.click("spbCheck");
    EXPECT_EQ(d.prompts.errors, QStringList());
    EXPECT_EQ(d.text("labLatestVer"), "Version number: 2.6");
    EXPECT_EQ(d.text("labLatestDate"), "Release date: July 4, 2002");
    EXPECT_TRUE(d.enabled("spbDownload"));
    EXPECT_EQ(fileText(d.program / "update.ini"), first + "\r\n");
    test::DesktopOpener opener;
    d.click("spbDownload");
    EXPECT_EQ(opener.opened(1), QStringList {"http://mirror.example/vextral26.zip"});

    // A second Check shows the new answer; one without the section, or an
    // error status, is a failed check that clears the fields and keeps update.ini.
    const std::string second = "[Vextral]\r\nversion=2.7\r\n";
    put(site / "update.ini", second);
    d.click("spbCheck");
    EXPECT_EQ(d.entries(), 2);
    EXPECT_EQ(fileText(d.program / "update.ini"), first + "\r\n" + second + "\r\n");
    EXPECT_EQ(d.text("labLatestVer"), "Version number: 2.7");
    EXPECT_EQ(d.text("labLatestDate"), "Release date: May 5,2001");
    const std::string stored = fileText(d.program / "update.ini");
    put(site / "update.ini", "<b>no</b> update file");
    d.click("spbCheck");
    EXPECT_EQ(d.prompts.errors, QStringList {"The answer holds no version information."});
    EXPECT_EQ(d.text("labLatestVer"), "Version number: ");
    EXPECT_EQ(d.text("labLatestDate"), "Release date: ");
    EXPECT_FALSE(d.enabled("spbDownload"));
    EXPECT_EQ(fileText(d.program / "update.ini"), stored);

    Dialog missing(server.url("/missing.ini"));
    missing.click("spbCheck");
    EXPECT_EQ(missing.prompts.errors, QStringList {"The update server answered 404 File not found."});
    EXPECT_EQ(missing.text("labLatestVer"), "Version number: ");
    EXPECT_FALSE(missing.enabled("spbDownload"));
    EXPECT_FALSE(std::filesystem::exists(missing.program / "update.ini"));
}

TEST(CheckDialog, DownloadOpensOnlyWebAddressesAndServerTextIsNoMarkup)
{
    test::DesktopOpener opener;
    for (const char* location : {"file:///etc/passwd", "javascript:alert(1)", "/usr/bin/xterm"}) {
        ScriptedHttpServer server(answer(std::string("[Vextral]\r\nversion=<i>9</i>\r\nLocation=") + location));
        Dialog d(server.url());
        d.click("spbCheck");
        EXPECT_EQ(d.text("labLatestVer"), "Version number: <i>9</i>");
        EXPECT_EQ(control<QLabel>(d.dialog.get(), "labLatestVer")->textFormat(), Qt::PlainText);
        d.click("spbDownload");
        EXPECT_EQ(d.prompts.errors,
                  QStringList {QStringLiteral("The download location is not a web address: ") + location});
    }
    EXPECT_TRUE(opener.opened(0).isEmpty()); // refused before anything was started
}

TEST(CheckDialog, AFailedCheckChangesNothingAndCheckWaitsMeanwhile)
{
    // The first answer is a good file, then the server falls silent.
    ScriptedHttpServer server([](int n, const ScriptedHttpServer::Connection& c) {
        if (n == 0) {
            c.send("HTTP/1.0 200 OK\r\n\r\n[Vextral]\r\nversion=3.1\r\nRelease=Today\r\n");
            return;
        }
        c.wait(5000);
    });
    Dialog d(server.url());
    d.click("spbCheck");
    const std::string stored = fileText(d.program / "update.ini");

    bool checkEnabledMeanwhile = true;
    QTimer::singleShot(200, [&] { checkEnabledMeanwhile = d.enabled("spbCheck"); });
    QElapsedTimer took;
    took.start();
    d.click("spbCheck");
    EXPECT_GE(took.elapsed(), 1000) << "Connection=1: each wait gives up after a second";
    EXPECT_LT(took.elapsed(), 3000);
    EXPECT_FALSE(checkEnabledMeanwhile);
    EXPECT_TRUE(d.enabled("spbCheck"));
    EXPECT_EQ(d.prompts.errors, QStringList {"Socket readln aborted"});
    EXPECT_EQ(d.text("labLatestVer"), "Version number: "); // cleared when the check began
    EXPECT_FALSE(d.enabled("spbDownload"));
    EXPECT_EQ(fileText(d.program / "update.ini"), stored);

    Dialog refused("http://127.0.0.1:" + std::to_string(test::refusedPort()) + "/update.ini");
    refused.click("spbCheck");
    EXPECT_EQ(refused.prompts.errors, QStringList {"Connection Failed"});
    EXPECT_FALSE(refused.enabled("spbDownload"));
    EXPECT_EQ(refused.entries(), 0);
    EXPECT_FALSE(std::filesystem::exists(refused.program / "update.ini"));
    Dialog secure("https://www.vextral.example/update.ini");
    secure.click("spbCheck");
    EXPECT_EQ(secure.prompts.errors, QStringList {"HTTP Secure Socket is not supported"});

    // Closing the dialog stops a check under way, with no error box.
    Dialog closing(server.url(), "[Internet]\nConnection=20\n");
    QTimer::singleShot(200, closing.dialog.get(), &QWidget::close);
    took.restart();
    closing.click("spbCheck");
    EXPECT_LT(took.elapsed(), 2000);
    EXPECT_TRUE(closing.prompts.errors.isEmpty());
}

TEST(CheckDialog, MenuCheckOpensAFreshCentredDialogThatUsesTheProxyOfTheSettings)
{
    // The proxy answers the first request and keeps the next ones waiting.
    ScriptedHttpServer proxy([](int n, const ScriptedHttpServer::Connection& c) {
        if (n == 0) c.send("HTTP/1.0 200 OK\r\n\r\n[Vextral]\r\nversion=5.0\r\n");
        if (n > 0) c.wait(5000);
    });
    test::Desktop desktop;
    put(desktop.home / "Option.ini",
        "[Internet]\nConnection=5\nProxy=1\nProxyIP=127.0.0.1:" + std::to_string(proxy.port()) + "\n");
    auto* dialog = desktop.open<CheckDialog>("menuCheck");
    ASSERT_TRUE(dialog);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_FALSE(desktop.window.isEnabled());
    const QRect screen = desktop.window.screen()->availableGeometry();
    EXPECT_LE((dialog->geometry().center() - screen.center()).manhattanLength(), 10);

    control<QPushButton>(dialog, "spbCheck")->click();
    EXPECT_EQ(control<QLabel>(dialog, "labLatestVer")->text(), "Version number: 5.0");
    ASSERT_EQ(proxy.requests().size(), 1u);
    EXPECT_TRUE(proxy.requests()[0].starts_with(std::string("GET ") + product::kUpdateUrl + " HTTP/1.0\r\n"));
    EXPECT_TRUE(std::filesystem::exists(desktop.home / "update.ini"));

    control<QPushButton>(dialog, "spbCancel")->click();
    desktop.settle();
    EXPECT_TRUE(desktop.window.isEnabled());
    EXPECT_FALSE(desktop.window.findChild<CheckDialog*>());
    QPointer<CheckDialog> again = desktop.open<CheckDialog>("menuCheck");
    ASSERT_TRUE(again);
    EXPECT_EQ(control<QLabel>(again, "labLatestVer")->text(), "Version number: ");

    // Closed by its close box during a check: the check ends, the dialog goes.
    QTimer::singleShot(200, again, &QWidget::close);
    QElapsedTimer took;
    took.start();
    control<QPushButton>(again, "spbCheck")->click();
    EXPECT_LT(took.elapsed(), 2500) << "Connection=5: ended by the close, not by the time limit";
    desktop.settle();
    EXPECT_FALSE(again);
    EXPECT_TRUE(desktop.window.isEnabled());
    EXPECT_TRUE(desktop.prompts.errors.isEmpty());
}
