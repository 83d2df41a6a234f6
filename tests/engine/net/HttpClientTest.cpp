#include "net/HttpClient.h"

#include "core/Error.h"
#include "support/HttpPeer.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <chrono>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

using namespace vextral;
using namespace vextral::net;
using vextral::test::ScriptedHttpServer;

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

const std::string kAccept = "Accept: www/source, text/html, video/mpeg, image/jpeg, image/x-tiff\r\n"
                            "Accept: image/x-rgb, image/x-xbm, image/gif, */*, application/postscript\r\n";
const std::string kContentType = "Content-type: application/x-www-form-urlencoded\r\n";

// The message the call raised, or "" when it raised none.
template <typename F>
std::string errorOf(F&& f)
{
    try {
        f();
    } catch (const Error& e) {
        return e.what();
    }
    return "";
}

// A script that answers every connection with the same bytes.
ScriptedHttpServer::Script answer(std::string bytes)
{
    return [bytes](int, const ScriptedHttpServer::Connection& c) { c.send(bytes); };
}

HttpClient quickClient()
{
    HttpClient client;
    client.timeLimit = 400ms;
    return client;
}

} // namespace

TEST(HttpClient, SplitsAddressesAndResolvesRedirectTargets)
{
    const HttpUrl plain = splitUrl("http://www.vextral.example/update.ini");
    EXPECT_EQ(plain.host, "www.vextral.example");
    EXPECT_EQ(plain.port, 80);
    EXPECT_EQ(plain.path, "/update.ini");
    EXPECT_EQ(plain.text(), "http://www.vextral.example/update.ini");

    const HttpUrl ported = splitUrl("HTTP://127.0.0.1:8081");
    EXPECT_EQ(ported.host, "127.0.0.1");
    EXPECT_EQ(ported.port, 8081);
    EXPECT_EQ(ported.path, "/");
    EXPECT_EQ(ported.authority(), "127.0.0.1:8081");
    EXPECT_EQ(splitUrl("http://h?x=1#top").path, "/?x=1");
    EXPECT_EQ(splitUrl("http://h:/a#top").path, "/a");

    EXPECT_EQ(errorOf([] { splitUrl("https://www.vextral.example/update.ini"); }),
              "HTTP Secure Socket is not supported");
    for (const char* bad : {"ftp://h/x", "www.vextral.example/update.ini", "http:///x", "http://h:99999/",
                            "http://h:8o/", "http://h/a b", "http://h/a\r\nX-Injected: 1", "file:///etc/passwd"}) {
        EXPECT_TRUE(errorOf([bad] { splitUrl(bad); }).starts_with("Bad URL")) << bad;
    }

    const HttpUrl from = splitUrl("http://127.0.0.1:8081/dir/update.ini");
    EXPECT_EQ(redirectTarget(from, "moved.ini"), "http://127.0.0.1:8081/moved.ini");
    EXPECT_EQ(redirectTarget(from, "/new/update.ini"), "http://127.0.0.1:8081/new/update.ini");
    EXPECT_EQ(redirectTarget(from, "//mirror.example/u.ini"), "http://mirror.example/u.ini");
    EXPECT_EQ(redirectTarget(from, "http://mirror.example/u.ini"), "http://mirror.example/u.ini");
}

TEST(HttpClient, RequestBytesDirectThroughAProxyAndWithACookie)
{
    const HttpUrl url = splitUrl("http://www.vextral.example/update.ini");
    EXPECT_EQ(buildRequest(url, false, ""),
              "GET /update.ini HTTP/1.0\r\nHost: www.vextral.example\r\nConnection: close\r\n" + kAccept +
                  kContentType + "\r\n");
    EXPECT_EQ(buildRequest(url, true, "id=7"), "GET http://www.vextral.example/update.ini HTTP/1.0\r\n"
                                               "Host: www.vextral.example\r\nConnection: close\r\n" +
                                                   kAccept + "Cookie: id=7\r\n" + kContentType + "\r\n");

    // On the wire: straight to the server, and to a proxy (the server's own
    // name does not even resolve, so only the proxy can have been asked).
    ScriptedHttpServer server(answer("HTTP/1.0 200 OK\r\n\r\nbody"));
    HttpClient direct = quickClient();
    EXPECT_EQ(direct.get(server.url("/update.ini")).body, "body");
    HttpClient proxied = quickClient();
    proxied.proxyHost = "127.0.0.1";
    proxied.proxyPort = server.port();
    const HttpResponse viaProxy = proxied.get("http://update.invalid/update.ini");
    EXPECT_EQ(viaProxy.status, 200);
    EXPECT_EQ(viaProxy.body, "body");
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0], "GET /update.ini HTTP/1.0\r\nHost: 127.0.0.1:" + std::to_string(server.port()) +
                               "\r\nConnection: close\r\n" + kAccept + kContentType + "\r\n");
    EXPECT_EQ(requests[1], "GET http://update.invalid/update.ini HTTP/1.0\r\n"
                           "Host: update.invalid\r\nConnection: close\r\n" +
                               kAccept + kContentType + "\r\n");
}

TEST(HttpClient, HeaderReaderGivesTheSameResultForAnySplitOfTheBytes)
{
    const std::string response = "HTTP/1.1 302 Found\r\nlocation: /next.ini \r\nContent-Length: 3\n"
                                 "SET-COOKIE: session=abc; Path=/\r\nX-Other: 1\r\n\r\nbody";
    for (std::size_t piece : {1u, 2u, 7u, 1000u}) {
        ResponseHeaderReader reader;
        std::string rest;
        for (std::size_t i = 0; i < response.size(); i += piece) {
            const std::string chunk = response.substr(i, piece);
            rest += chunk.substr(reader.feed(chunk));
        }
        SCOPED_TRACE(piece);
        EXPECT_TRUE(reader.complete());
        EXPECT_EQ(reader.status(), 302);
        EXPECT_EQ(reader.location(), "/next.ini");
        EXPECT_EQ(reader.cookie(), "session=abc; Path=/");
        EXPECT_EQ(reader.lines(), 6u);
        EXPECT_EQ(rest, "body");
        EXPECT_EQ(reader.text() + rest, response);
    }

    ResponseHeaderReader odd;
    odd.feed("garbage\r\nLocation:x\r\nLocation: " + std::string(300, 'a') + "\r\n\r\n");
    EXPECT_EQ(odd.status(), 0);
    EXPECT_EQ(odd.location(), std::string(256, 'a')); // "Location:x" has no blank after its name
    ResponseHeaderReader injected;
    injected.feed("HTTP/1.0 302 Found\r\nSet-Cookie: a=1\rX-Evil: 1\r\n\r\n");
    EXPECT_FALSE(injected.cookie());

    ResponseHeaderReader longLine;
    EXPECT_TRUE(longLine.problem().empty());
    longLine.feed("HTTP/1.0 200 OK\r\nX: " + std::string(9000, 'x'));
    EXPECT_EQ(longLine.problem(), "The server sent a header line longer than 8 KiB");
    EXPECT_FALSE(longLine.complete());
    EXPECT_EQ(longLine.feed("\r\n\r\n"), 0u); // nothing more is taken
    ResponseHeaderReader longHeader;
    const std::string line = "X-Filler: " + std::string(1000, 'x') + "\r\n";
    for (int i = 0; i < 1100; ++i) longHeader.feed(line);
    EXPECT_EQ(longHeader.problem(), "The server sent a header longer than 1 MiB");
    EXPECT_LE(longHeader.text().size(), ReaderLimits {}.httpHeaderBytes);
}

TEST(HttpClient, AHeaderBeyondItsLimitsEndsTheFetchWithTheReason)
{
    ScriptedHttpServer longLine(answer("HTTP/1.0 200 OK\r\nX: " + std::string(9000, 'x') + "\r\n\r\nbody"));
    HttpClient client = quickClient();
    EXPECT_EQ(errorOf([&] { client.get(longLine.url()); }), "The server sent a header line longer than 8 KiB");
    ReaderLimits small;
    small.httpHeaderBytes = 64;
    client.limits = small;
    ScriptedHttpServer longHeader(answer("HTTP/1.0 200 OK\r\n" + std::string(8, 'X') + ": " + std::string(40, 'y') +
                                         "\r\nZ: " + std::string(40, 'z') + "\r\n\r\n"));
    EXPECT_EQ(errorOf([&] { client.get(longHeader.url()); }), "The server sent a header longer than 1 MiB");
}

TEST(HttpClient, RedirectsAreFollowedWithTheirCookieAndLoopsEnd)
{
    // A 302 to a whole address, then one relative to the server with a cookie.
    int port = 0;
    ScriptedHttpServer server([&port](int n, const ScriptedHttpServer::Connection& c) {
        if (n == 0)
            c.send("HTTP/1.0 302 Found\r\nLocation: http://127.0.0.1:" + std::to_string(port) + "/moved/a.ini\r\n\r\n");
        if (n == 1) c.send("HTTP/1.0 301 Moved\r\nSet-Cookie: visit=2\r\nLocation: b.ini\r\n\r\n");
        if (n == 2) c.send("HTTP/1.0 200 OK\r\n\r\n[Vextral]\r\nversion=3.0\r\n");
    });
    port = server.port();
    HttpClient client = quickClient();
    const HttpResponse r = client.get(server.url("/update.ini"));
    EXPECT_EQ(r.status, 200);
    EXPECT_EQ(r.body, "[Vextral]\r\nversion=3.0\r\n");
    EXPECT_EQ(r.url, server.url("/b.ini"));
    EXPECT_EQ(client.cookie(), "visit=2");
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_TRUE(requests[1].starts_with("GET /moved/a.ini HTTP/1.0\r\n"));
    EXPECT_EQ(requests[1].find("Cookie:"), std::string::npos);
    EXPECT_TRUE(requests[2].starts_with("GET /b.ini HTTP/1.0\r\n"));
    EXPECT_NE(requests[2].find(kAccept + "Cookie: visit=2\r\n" + kContentType + "\r\n"), std::string::npos);

    ScriptedHttpServer loop(answer("HTTP/1.0 302 Found\r\nLocation: update.ini\r\n\r\n"));
    HttpClient looping = quickClient();
    EXPECT_EQ(errorOf([&] { looping.get(loop.url()); }), "Too many redirects.");
    EXPECT_EQ(loop.requests().size(), 1u + HttpClient::kMaxRedirects);

    // Other statuses end the fetch with their body, a 404 page or a 304 alike.
    ScriptedHttpServer other([](int n, const ScriptedHttpServer::Connection& c) {
        c.send(n == 0 ? "HTTP/1.0 404 Not Found\r\n\r\n<html>gone</html>"
                      : "HTTP/1.0 304 Not Modified\r\nLocation: x.ini\r\n\r\nsame");
    });
    HttpClient plain = quickClient();
    const HttpResponse notFound = plain.get(other.url());
    EXPECT_EQ(notFound.body, "<html>gone</html>");
    EXPECT_EQ(notFound.reason, "Not Found");
    const HttpResponse notModified = plain.get(other.url());
    EXPECT_EQ(notModified.status, 304);
    EXPECT_EQ(notModified.body, "same");
    EXPECT_EQ(other.requests().size(), 2u);
}

TEST(HttpClient, SeeOtherAndTemporaryAndPermanentRedirectsAreFollowed)
{
    for (const char* status : {"303 See Other", "307 Temporary Redirect", "308 Permanent Redirect"}) {
        SCOPED_TRACE(status);
        ScriptedHttpServer server([status](int n, const ScriptedHttpServer::Connection& c) {
            c.send(n == 0 ? std::string("HTTP/1.1 ") + status + "\r\nLocation: /new.ini\r\nContent-Length: 0\r\n\r\n"
                          : std::string("HTTP/1.0 200 OK\r\n\r\n[Vextral]\r\n"));
        });
        HttpClient client = quickClient();
        const HttpResponse r = client.get(server.url());
        EXPECT_EQ(r.status, 200);
        EXPECT_EQ(r.body, "[Vextral]\r\n");
        EXPECT_EQ(r.url, server.url("/new.ini"));
    }
    ScriptedHttpServer loop(answer("HTTP/1.1 307 Temporary Redirect\r\nLocation: update.ini\r\n\r\n"));
    HttpClient looping = quickClient();
    EXPECT_EQ(errorOf([&] { looping.get(loop.url()); }), "Too many redirects.");
    EXPECT_EQ(loop.requests().size(), 1u + HttpClient::kMaxRedirects);
}

TEST(HttpClient, ContentLengthEndsTheBodyOnAConnectionKeptOpen)
{
    // Like a proxy that keeps the connection: the body is complete long before the server closes.
    ScriptedHttpServer server([](int, const ScriptedHttpServer::Connection& c) {
        c.send("HTTP/1.1 200 OK\r\nContent-Length: 12\r\nConnection: keep-alive\r\n\r\n[Vextral]\r\nx");
        c.wait(5000);
    });
    HttpClient client;
    client.timeLimit = 3000ms;
    const auto start = Clock::now();
    const HttpResponse r = client.get(server.url());
    EXPECT_LT(Clock::now() - start, 1000ms);
    EXPECT_EQ(r.body, "[Vextral]\r\nx");

    ScriptedHttpServer shortBody(answer("HTTP/1.0 200 OK\r\nContent-Length: 50\r\n\r\nonly this"));
    HttpClient quick = quickClient();
    EXPECT_EQ(errorOf([&] { quick.get(shortBody.url()); }),
              "The server closed the connection before the whole answer arrived");
    ScriptedHttpServer huge(answer("HTTP/1.0 200 OK\r\nContent-Length: 99999999999\r\n\r\nx"));
    EXPECT_EQ(errorOf([&] { quick.get(huge.url()); }), "The server sent more than 1 MiB");
    ScriptedHttpServer bad(answer("HTTP/1.0 200 OK\r\nContent-Length: 1x\r\n\r\nx"));
    EXPECT_EQ(errorOf([&] { quick.get(bad.url()); }), "The server sent a bad Content-Length");
}

TEST(HttpClient, ChunkedBodiesAreDecodedWithinBounds)
{
    ScriptedHttpServer server([](int, const ScriptedHttpServer::Connection& c) {
        c.send("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n9;ext=1\r\n[Vextral]\r\n");
        c.send("2\r\n\r\n\r\nA\r\nversion=3\n\r\n0\r\nX-Trailer: 1\r\n\r\n");
        c.wait(5000); // kept open: the last chunk ends the body
    });
    HttpClient client;
    client.timeLimit = 3000ms;
    const auto start = Clock::now();
    EXPECT_EQ(client.get(server.url()).body, "[Vextral]\r\nversion=3\n");
    EXPECT_LT(Clock::now() - start, 1000ms);

    HttpClient quick = quickClient();
    for (const char* body : {"zz\r\nab\r\n0\r\n\r\n", "2\r\nabc\r\n0\r\n\r\n", "-1\r\n", "100000000000000000\r\n"}) {
        ScriptedHttpServer broken(answer(std::string("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n") + body));
        EXPECT_EQ(errorOf([&] { quick.get(broken.url()); }), "The server sent a malformed chunk") << body;
    }
    ScriptedHttpServer big(answer("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nFFFFFFF\r\n"));
    EXPECT_EQ(errorOf([&] { quick.get(big.url()); }), "The server sent more than 1 MiB");
    ScriptedHttpServer cut(answer("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nab"));
    EXPECT_EQ(errorOf([&] { quick.get(cut.url()); }),
              "The server closed the connection before the whole answer arrived");
}

TEST(HttpClient, EveryWaitEndsWithItsMessage)
{
    const auto timed = [](HttpClient& client, const std::string& url, std::chrono::milliseconds& took) {
        const auto start = Clock::now();
        std::string e = errorOf([&] { client.get(url); });
        took = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
        return e;
    };
    std::chrono::milliseconds took {};

    ScriptedHttpServer silent([](int, const ScriptedHttpServer::Connection& c) { c.wait(5000); });
    HttpClient client = quickClient();
    int pumped = 0;
    HttpClient pumping([&pumped] { ++pumped; });
    pumping.timeLimit = 400ms;
    EXPECT_EQ(timed(pumping, silent.url(), took), "Socket readln aborted");
    EXPECT_GE(took, 400ms);
    EXPECT_LT(took, 2000ms);
    EXPECT_GT(pumped, 3) << "the pump runs while the client waits";

    // A header line that never ends is one wait, however it trickles.
    ScriptedHttpServer trickle([](int, const ScriptedHttpServer::Connection& c) {
        for (int i = 0; i < 20 && c.send("H"); ++i) c.wait(100);
    });
    EXPECT_EQ(timed(client, trickle.url(), took), "Socket readln aborted");
    EXPECT_LT(took, 1500ms);

    ScriptedHttpServer stall([](int, const ScriptedHttpServer::Connection& c) {
        c.send("HTTP/1.0 200 OK\r\n\r\n[Vextral]\r\nvers");
        c.wait(5000);
    });
    EXPECT_EQ(timed(client, stall.url(), took), "Socket capture aborted");
    EXPECT_LT(took, 2000ms);

    ScriptedHttpServer endless([](int, const ScriptedHttpServer::Connection& c) {
        c.send("HTTP/1.0 200 OK\r\n\r\n");
        const std::string chunk(64 * 1024, 'x');
        while (!c.stopping() && c.send(chunk)) {}
    });
    EXPECT_EQ(errorOf([&] { client.get(endless.url()); }), "The server sent more than 1 MiB");

    ScriptedHttpServer hangUp([](int, const ScriptedHttpServer::Connection&) {});
    EXPECT_EQ(errorOf([&] { client.get(hangUp.url()); }), "The server closed the connection without an answer");

    EXPECT_EQ(errorOf([&] { client.get("http://127.0.0.1:" + std::to_string(test::refusedPort()) + "/"); }),
              "Connection Failed");
    EXPECT_EQ(errorOf([&] { client.get("http://no-such-host.invalid/update.ini"); }), "Host Lookup Failed");

    // A server whose queue of connections is full never answers a connect.
    const int full = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a {};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    ASSERT_EQ(::bind(full, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    ASSERT_EQ(::listen(full, 0), 0);
    ASSERT_EQ(::getsockname(full, reinterpret_cast<sockaddr*>(&a), &len), 0);
    std::vector<int> queued;
    for (int i = 0; i < 3; ++i) {
        queued.push_back(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0));
        ::connect(queued.back(), reinterpret_cast<sockaddr*>(&a), sizeof a);
    }
    EXPECT_EQ(timed(client, "http://127.0.0.1:" + std::to_string(ntohs(a.sin_port)) + "/", took),
              "Connection Timed out");
    EXPECT_GE(took, 400ms);
    for (int fd : queued) ::close(fd);
    ::close(full);

    // Cancel from the pump ends the fetch under way.
    HttpClient* self = nullptr;
    HttpClient cancelling([&self] { self->cancel(); });
    self = &cancelling;
    cancelling.timeLimit = 5s;
    EXPECT_FALSE(timed(cancelling, silent.url(), took).empty());
    EXPECT_LT(took, 1000ms);
}

TEST(ReaderLimits, HttpHeaderLineHeaderAndLocation)
{
    const auto fed = [](const ReaderLimits& limits, const std::string& text) {
        ResponseHeaderReader reader(limits);
        reader.feed(text);
        return reader;
    };
    const std::string header = "HTTP/1.0 302 Found\r\nLocation: http://a.example/update.ini\r\n\r\n";
    EXPECT_EQ(fed({}, header).location(), "http://a.example/update.ini");
    ReaderLimits shortLines;
    shortLines.httpHeaderLine = 17;
    EXPECT_EQ(fed(shortLines, header).problem(), "The server sent a header line longer than 8 KiB");
    ReaderLimits shortHeader;
    shortHeader.httpHeaderBytes = 40;
    EXPECT_EQ(fed(shortHeader, header).problem(), "The server sent a header longer than 1 MiB");
    ReaderLimits shortLocation;
    shortLocation.httpLocation = 8;
    EXPECT_EQ(fed(shortLocation, header).location(), "http://a");
}

TEST(ReaderLimits, HttpBodyBytes)
{
    ScriptedHttpServer server([](int, const ScriptedHttpServer::Connection& c) {
        c.send("HTTP/1.0 200 OK\r\n\r\n" + std::string(5000, 'x'));
    });
    HttpClient client = quickClient();
    EXPECT_EQ(client.get(server.url()).body.size(), 5000u);
    client.limits.httpBodyBytes = 4999;
    EXPECT_EQ(errorOf([&] { client.get(server.url()); }), "The server sent more than 1 MiB");
}
