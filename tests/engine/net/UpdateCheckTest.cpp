#include "net/UpdateCheck.h"

#include "TestSupport.h"
#include "core/Error.h"
#include "core/ProductInfo.h"
#include "support/HttpPeer.h"
#include "support/TextFiles.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

using namespace vextral;
using namespace vextral::net;
using vextral::test::TempDir;

namespace {

using namespace std::chrono_literals;

using vextral::test::put;
using vextral::test::slurp;

UpdateConnection quick()
{
    UpdateConnection c;
    c.timeLimit = 1s;
    return c;
}

UpdateConnection fromIni(const std::string& text)
{
    TempDir dir;
    put(dir / "Option.ini", text);
    return UpdateConnection::load(settings::ProfileFile((dir / "Option.ini").string()).read());
}

} // namespace

TEST(UpdateCheck, ChecksStoreEveryBodyAndShowTheLatestAnswer)
{
    TempDir site;
    TempDir program;
    const std::string first = "[Other]\r\nversion=9\r\n[Vextral]\r\nversion=2.5\r\nRelease=June 1, 2002\r\n"
                              "Location=http://mirror.example/vextral25.zip\r\n";
    put(site / "update.ini", first);
    test::PythonHttpServer server(site.path().string());

    UpdateCheck check(program.path().string(), quick());
    UpdateInfo info = check.check(server.url("/update.ini"));
    EXPECT_EQ(info.version, "2.5");
    EXPECT_EQ(info.release, "June 1, 2002");
    EXPECT_EQ(info.location, "http://mirror.example/vextral25.zip");
    EXPECT_EQ(slurp(program / "update.ini"), first + "\r\n");

    const std::string second = "[vextral]\nVERSION=3.0\nrelease=Jan 1,2003\n";
    put(site / "update.ini", second);
    info = check.check(server.url("/update.ini"));
    EXPECT_EQ(slurp(program / "update.ini"), first + "\r\n" + second + "\r\n");
    EXPECT_EQ(info.version, "3.0");
    EXPECT_EQ(info.release, "Jan 1,2003");
    EXPECT_EQ(info.location, product::kDownloadLocation);
    EXPECT_EQ(check.bodies(), (std::vector<std::string> {first, second}));
}

TEST(UpdateCheck, AnErrorStatusOrAnAnswerWithoutTheSectionIsAFailure)
{
    TempDir site;
    TempDir program;
    put(site / "update.ini", "just text\r\n");
    put(site / "empty.ini", "");
    test::PythonHttpServer server(site.path().string());
    test::ScriptedHttpServer failing([](int, const test::ScriptedHttpServer::Connection& c) {
        c.send("HTTP/1.0 503 Service Unavailable\r\nContent-Length: 16\r\n\r\n[Vextral]\r\nv=9\r\n");
    });
    const auto failure = [](UpdateCheck& check, const std::string& url) {
        try {
            check.check(url);
        } catch (const Error& e) {
            return std::string(e.what());
        }
        return std::string("(no error)");
    };
    for (bool present : {false, true}) {
        SCOPED_TRACE(present);
        if (present) put(program / "update.ini", "old\r\n\x01");
        UpdateCheck check(program.path().string(), quick());
        EXPECT_EQ(failure(check, server.url("/missing.ini")), "The update server answered 404 File not found.");
        EXPECT_EQ(failure(check, failing.url()), "The update server answered 503 Service Unavailable.");
        EXPECT_EQ(failure(check, server.url("/update.ini")), "The answer holds no version information.");
        EXPECT_EQ(failure(check, server.url("/empty.ini")), "The answer holds no version information.");
        EXPECT_TRUE(check.bodies().empty());
        if (present)
            EXPECT_EQ(slurp(program / "update.ini"), "old\r\n\x01");
        else
            EXPECT_FALSE(std::filesystem::exists(program / "update.ini"));
    }
}

TEST(UpdateCheck, AFailedFetchOrWriteLeavesTheFileAsItWas)
{
    TempDir program;
    put(program / "update.ini", "old");
    UpdateCheck check(program.path().string(), quick());
    const std::string refused = "http://127.0.0.1:" + std::to_string(test::refusedPort()) + "/update.ini";
    // The failures of the fetch reach the caller as errors with the client's words.
    const auto failure = [&check](const std::string& url) {
        try {
            check.check(url);
        } catch (const Error& e) {
            return std::string(e.what());
        }
        return std::string("(no error)");
    };
    EXPECT_EQ(failure(refused), "Connection Failed");
    test::ScriptedHttpServer silent([](int, const test::ScriptedHttpServer::Connection& c) { c.wait(3000); });
    EXPECT_EQ(failure(silent.url()), "Socket readln aborted");
    EXPECT_TRUE(check.bodies().empty());
    EXPECT_EQ(slurp(program / "update.ini"), "old");

    test::ScriptedHttpServer server(
        [](int, const test::ScriptedHttpServer::Connection& c) { c.send("HTTP/1.0 200 OK\r\n\r\n[Vextral]\r\n"); });
    const std::string gone = (program / "no-such-folder").string();
    UpdateCheck unwritable(gone, quick());
    try {
        unwritable.check(server.url());
        ADD_FAILURE() << "no error";
    } catch (const Error& e) {
        EXPECT_TRUE(std::string(e.what()).starts_with("Cannot create file " + gone + "/update.ini")) << e.what();
    }
}

TEST(UpdateCheck, ConnectionSettingsAndTheProxy)
{
    UpdateConnection c = fromIni("");
    EXPECT_EQ(c.timeLimit, 20s);
    EXPECT_EQ(c.proxyHost, "");
    c = fromIni("[Internet]\nConnection=5\nProxy=0\nProxyIP=proxy.example\n");
    EXPECT_EQ(c.timeLimit, 5s);
    EXPECT_EQ(c.proxyHost, "") << "the proxy is used only when \"Use proxy\" is on";
    c = fromIni("[Internet]\nConnection=abc\nProxy=1\nProxyIP=\n");
    EXPECT_EQ(c.timeLimit, 20s);
    EXPECT_EQ(c.proxyHost, "");
    c = fromIni("[Internet]\nConnection=0\nProxy=1\nProxyIp=proxy.example\n");
    EXPECT_EQ(c.timeLimit, 20s);
    EXPECT_EQ(c.proxyHost, "proxy.example");
    EXPECT_EQ(c.proxyPort, 8080);
    c = fromIni("[Internet]\nProxy=1\nProxyIP=proxy.example\nProxyPort=3128\n");
    EXPECT_EQ(c.proxyPort, 3128);
    c = fromIni("[Internet]\nProxy=1\nProxyIP=10.0.0.1:8888\nProxyPort=3128\n");
    EXPECT_EQ(c.proxyHost, "10.0.0.1");
    EXPECT_EQ(c.proxyPort, 8888);
    c = fromIni("[Internet]\nProxy=1\nProxyIP=proxy.example\nProxyPort=99999\n");
    EXPECT_EQ(c.proxyPort, 8080);

    // A check through the proxy of the settings asks it for the whole address.
    test::ScriptedHttpServer proxy([](int, const test::ScriptedHttpServer::Connection& peer) {
        peer.send("HTTP/1.0 200 OK\r\n\r\n[Vextral]\r\nversion=4.0\r\n");
    });
    TempDir program;
    UpdateConnection viaProxy =
        fromIni("[Internet]\nConnection=1\nProxy=1\nProxyIP=127.0.0.1:" + std::to_string(proxy.port()) + "\n");
    UpdateCheck check(program.path().string(), viaProxy);
    EXPECT_EQ(check.check(product::kUpdateUrl).version, "4.0");
    ASSERT_EQ(proxy.requests().size(), 1u);
    EXPECT_TRUE(proxy.requests()[0].starts_with(std::string("GET ") + product::kUpdateUrl + " HTTP/1.0\r\n"));
}

TEST(UpdateCheck, OnlyWebAddressesAreDownloadLocations)
{
    for (const char* good : {"http://www.vextral.example/download.htm", "HTTPS://mirror.example", "http://h?x"})
        EXPECT_TRUE(isWebAddress(good)) << good;
    for (const char* bad : {"file:///etc/passwd", "javascript:alert(1)", "/usr/bin/xterm", "ftp://h/x", "http://",
                            "https:///x", "http://h/a b", "mailto:a@b", "", "http:/h"})
        EXPECT_FALSE(isWebAddress(bad)) << bad;
}
