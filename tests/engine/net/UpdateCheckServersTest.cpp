// The update check against real servers: lighttpd serving the update file,
// squid and tinyproxy as proxies in front of it. Each runs as a private
// instance on 127.0.0.1 with its own configuration, port and files in a
// temporary folder, and is killed when the test ends, passed or not.
#include "net/UpdateCheck.h"

#include "TestSupport.h"
#include "core/Error.h"
#include "support/NetPeers.h"
#include "support/TextFiles.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

using namespace vextral;
using namespace vextral::net;
using vextral::test::put;
using vextral::test::slurp;
using vextral::test::TempDir;

namespace {

using namespace std::chrono_literals;

bool installed(const char* program) { return std::filesystem::exists(program); }

// lighttpd serving www/ of its folder, with a redirect for each code under /rNNN.
struct Lighttpd {
    TempDir dir;
    int port = test::unusedPort();
    std::unique_ptr<test::ServerProgram> daemon;
    Lighttpd(const std::string& updateFile)
    {
        std::filesystem::permissions(dir.path(), std::filesystem::perms(0755));
        std::filesystem::create_directory(dir / "www");
        put(dir / "www" / "update.ini", updateFile);
        std::string conf = "server.document-root = \"" + (dir / "www").string() + "\"\n" +
                           "server.bind = \"127.0.0.1\"\nserver.port = " + std::to_string(port) + "\n" +
                           "server.errorlog = \"" + (dir / "error.log").string() + "\"\n" +
                           "server.modules = (\"mod_redirect\")\n";
        for (int code : {301, 302, 303, 307, 308})
            conf += "$HTTP[\"url\"] == \"/r" + std::to_string(code) +
                    "\" {\n  url.redirect = (\".*\" => \"/update.ini\")\n"
                    "  url.redirect-code = " +
                    std::to_string(code) + "\n}\n";
        put(dir / "lighttpd.conf", conf);
        daemon = std::make_unique<test::ServerProgram>(
            std::vector<std::string> {"/usr/sbin/lighttpd", "-D", "-f", (dir / "lighttpd.conf").string()}, port);
    }
    std::string url(const std::string& path) const { return "http://127.0.0.1:" + std::to_string(port) + path; }
};

struct Proxy {
    TempDir dir;
    int port = test::unusedPort();
    std::unique_ptr<test::ServerProgram> daemon;
    explicit Proxy(bool squid)
    {
        std::filesystem::permissions(dir.path(), std::filesystem::perms(0777));
        const std::string d = dir.path().string();
        if (squid) {
            put(dir / "squid.conf", "http_port 127.0.0.1:" + std::to_string(port) +
                                        "\nhttp_access allow all\n"
                                        "cache deny all\ncoredump_dir " +
                                        d + "\npid_filename " + d +
                                        "/squid.pid\n"
                                        "access_log stdio:" +
                                        d + "/access.log\ncache_log " + d +
                                        "/cache.log\n"
                                        "cache_effective_user proxy\nshutdown_lifetime 0 seconds\npinger_enable off\n");
            daemon = std::make_unique<test::ServerProgram>(
                std::vector<std::string> {"/usr/sbin/squid", "-N", "-f", d + "/squid.conf"}, port);
        } else {
            put(dir / "tinyproxy.conf", "User nobody\nGroup nogroup\nPort " + std::to_string(port) +
                                            "\nListen 127.0.0.1\nTimeout 10\nPidFile \"" + d +
                                            "/tinyproxy.pid\"\n"
                                            "LogFile \"" +
                                            d + "/tinyproxy.log\"\nAllow 127.0.0.1\nMaxClients 5\n");
            daemon = std::make_unique<test::ServerProgram>(
                std::vector<std::string> {"/usr/bin/tinyproxy", "-d", "-c", d + "/tinyproxy.conf"}, port);
        }
    }
};

UpdateConnection through(int proxyPort)
{
    TempDir dir;
    put(dir / "Option.ini",
        "[Internet]\nConnection=3\nProxy=1\nProxyIP=127.0.0.1\nProxyPort=" + std::to_string(proxyPort) + "\n");
    return UpdateConnection::load(settings::ProfileFile((dir / "Option.ini").string()).read());
}

std::string failure(UpdateCheck& check, const std::string& url)
{
    try {
        check.check(url);
    } catch (const Error& e) {
        return e.what();
    }
    return "(no error)";
}

const std::string kUpdate = "[Vextral]\r\nversion=4.2\r\nRelease=Mar 3, 2004\r\n";

} // namespace

TEST(UpdateCheckServers, LighttpdAnswersRedirectsAndMissingFiles)
{
    if (!installed("/usr/sbin/lighttpd")) GTEST_SKIP() << "lighttpd is not installed (tools/install-deps.sh test)";
    Lighttpd web(kUpdate);
    ASSERT_TRUE(web.daemon->ready()) << slurp(web.dir / "error.log");
    TempDir program;
    UpdateConnection direct;
    direct.timeLimit = 3s;
    UpdateCheck check(program.path().string(), direct);
    EXPECT_EQ(check.check(web.url("/update.ini")).version, "4.2");
    for (const char* path : {"/r301", "/r302", "/r303", "/r307", "/r308"})
        EXPECT_EQ(check.check(web.url(path)).version, "4.2") << path;
    const std::string stored = slurp(program / "update.ini");
    EXPECT_EQ(failure(check, web.url("/missing.ini")), "The update server answered 404 Not Found.");
    EXPECT_EQ(slurp(program / "update.ini"), stored);
}

TEST(UpdateCheckServers, TheCheckWorksThroughSquidAndTinyproxy)
{
    if (!installed("/usr/sbin/lighttpd")) GTEST_SKIP() << "lighttpd is not installed (tools/install-deps.sh test)";
    Lighttpd web(kUpdate);
    ASSERT_TRUE(web.daemon->ready()) << slurp(web.dir / "error.log");
    for (bool squid : {true, false}) {
        const char* program = squid ? "/usr/sbin/squid" : "/usr/bin/tinyproxy";
        SCOPED_TRACE(program);
        if (!installed(program)) GTEST_SKIP() << program << " is not installed (tools/install-deps.sh test)";
        Proxy proxy(squid);
        ASSERT_TRUE(proxy.daemon->ready()) << program << " did not start";
        TempDir folder;
        UpdateCheck check(folder.path().string(), through(proxy.port));
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(check.check(web.url("/update.ini")).version, "4.2");
        EXPECT_EQ(check.check(web.url("/r308")).release, "Mar 3, 2004");
        EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
        EXPECT_EQ(failure(check, web.url("/missing.ini")), "The update server answered 404 Not Found.");
        EXPECT_EQ(slurp(folder / "update.ini"), kUpdate + "\r\n" + kUpdate + "\r\n");
    }
}
