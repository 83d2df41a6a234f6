#include "net/TcpConnection.h"

#include "TestSupport.h"
#include "support/NetPeers.h"

#include <chrono>
#include <gtest/gtest.h>
#include <thread>

using namespace std::chrono_literals;
using vextral::net::TcpConnection;
using Status = TcpConnection::Status;
using Clock = std::chrono::steady_clock;
namespace test = vextral::test;

namespace {

std::chrono::milliseconds since(Clock::time_point start)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
}

} // namespace

TEST(TcpConnection, FailuresToConnectAreReportedByKind)
{
    TcpConnection connection;
    EXPECT_EQ(connection.connect("127.0.0.1", test::unusedPort(), 2s), Status::ConnectFailed);
    EXPECT_FALSE(connection.isOpen());
    const auto start = Clock::now();
    EXPECT_EQ(connection.connect("no-such-host.invalid", 25, 1500ms), Status::LookupFailed);
    EXPECT_LT(since(start), 1800ms);
    EXPECT_EQ(connection.connect("", 25, 1s), Status::LookupFailed);
    std::string out;
    EXPECT_EQ(connection.receive(out, 10, 100ms), Status::Closed);
    EXPECT_EQ(connection.send("x", 100ms), Status::Closed);
}

TEST(TcpConnection, SilentPeerTimesOutWithinTheLimitWhileThePumpRuns)
{
    test::ScriptedPeer peer([](int fd) { test::ScriptedPeer::readUntil(fd, "never"); });
    int pumped = 0;
    TcpConnection connection([&] { ++pumped; });
    ASSERT_EQ(connection.connect("127.0.0.1", peer.port(), 2s), Status::Ok);
    EXPECT_TRUE(connection.isOpen());
    std::string out = "kept";
    const auto start = Clock::now();
    EXPECT_EQ(connection.receive(out, 100, 300ms), Status::TimedOut);
    const auto took = since(start);
    EXPECT_GE(took, 290ms);
    EXPECT_LT(took, 600ms);
    EXPECT_EQ(out, "kept");
    EXPECT_GE(pumped, 4); // every few tens of milliseconds

    // A cancel from the pump ends the wait at once.
    TcpConnection stopped;
    stopped.connect("127.0.0.1", peer.port(), 2s);
    TcpConnection* target = &stopped;
    TcpConnection cancelling([&] { target->cancel(); });
    ASSERT_EQ(cancelling.connect("127.0.0.1", peer.port(), 2s), Status::Ok);
    target = &cancelling;
    const auto cancelStart = Clock::now();
    EXPECT_EQ(cancelling.receive(out, 100, 5s), Status::TimedOut);
    EXPECT_LT(since(cancelStart), 500ms);
}

TEST(TcpConnection, DataThenClosedPeer)
{
    test::ScriptedPeer peer([](int fd) {
        std::string got;
        test::ScriptedPeer::readUntil(fd, "\n", &got);
        test::ScriptedPeer::write(fd, "echo " + got);
    });
    TcpConnection connection;
    ASSERT_EQ(connection.connect("localhost", peer.port(), 2s), Status::Ok);
    EXPECT_EQ(connection.send("hello\n", 1s), Status::Ok);
    std::string out;
    while (out.size() < 11) {
        const std::size_t before = out.size();
        if (connection.receive(out, 3, 2s) != Status::Ok) break;
        EXPECT_LE(out.size() - before, 3u); // never more than asked for
    }
    EXPECT_EQ(out, "echo hello\n");
    EXPECT_EQ(connection.receive(out, 100, 2s), Status::Closed);
    EXPECT_EQ(out, "echo hello\n");
    connection.close();
    EXPECT_FALSE(connection.isOpen());
}

TEST(TcpConnection, TlsVerifiesTheCertificateAndTheHostName)
{
    test::TempDir dir;
    ASSERT_TRUE(test::makeCertificates(dir.path(), {"localhost"}));
    ASSERT_TRUE(test::makeCertificates(dir.path(), {"otherhost.test"}, "other"));
    test::ScopedEnv trust("SSL_CERT_FILE", (dir / "ca.pem").string());
    test::PythonServer good(test::supportFile("tls_echo_server.py"), dir.path(),
                            {(dir / "server.pem").string(), (dir / "server.key").string()});
    ASSERT_TRUE(good.running());

    int pumped = 0;
    TcpConnection connection([&] { ++pumped; });
    ASSERT_EQ(connection.connect("localhost", good.port(), 2s), Status::Ok);
    ASSERT_EQ(connection.startTls("localhost", 5s), Status::Ok) << connection.tlsError();
    EXPECT_TRUE(connection.isTls());
    EXPECT_EQ(connection.send("over TLS\n", 2s), Status::Ok);
    std::string out;
    while (out.size() < 9 && connection.receive(out, 100, 2s) == Status::Ok) {}
    EXPECT_EQ(out, "over TLS\n");
    connection.close();

    // The same server reached through a name its certificate does not carry.
    ASSERT_EQ(connection.connect("127.0.0.1", good.port(), 2s), Status::Ok);
    EXPECT_EQ(connection.startTls("mail.example.test", 5s), Status::TlsFailed);
    EXPECT_NE(connection.tlsError().find("mismatch"), std::string::npos) << connection.tlsError();
    EXPECT_FALSE(connection.isOpen());

    // A certificate for another host, from the trusted CA.
    test::PythonServer other(test::supportFile("tls_echo_server.py"), dir.path(),
                             {(dir / "other.pem").string(), (dir / "other.key").string()});
    ASSERT_TRUE(other.running());
    ASSERT_EQ(connection.connect("localhost", other.port(), 2s), Status::Ok);
    EXPECT_EQ(connection.startTls("localhost", 5s), Status::TlsFailed);
    EXPECT_FALSE(connection.tlsError().empty());

    // A server that never answers the handshake: the limit holds.
    test::ScriptedPeer silent([](int fd) { test::ScriptedPeer::readUntil(fd, "never"); });
    ASSERT_EQ(connection.connect("127.0.0.1", silent.port(), 2s), Status::Ok);
    const auto start = Clock::now();
    EXPECT_EQ(connection.startTls("localhost", 300ms), Status::TimedOut);
    EXPECT_LT(since(start), 700ms);
}
