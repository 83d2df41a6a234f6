// The mail client against servers that misbehave, each a thread of the test.

#include "net/MoxSmtp.h"

#include "core/Error.h"

#include "support/NetPeers.h"
#include "support/SmtpPeer.h"
#include "support/Wait.h"

#include <chrono>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>

using namespace std::chrono_literals;
using vextral::net::MoxMsg;
using vextral::net::MoxSmtp;
using Peer = vextral::test::ScriptedPeer;
namespace test = vextral::test;

namespace {

using Clock = std::chrono::steady_clock;

// A peer that is slow on purpose: the pieces of its replies arrive apart.
void pause(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

// Waits for the client to go away (or two seconds).
void untilClosed(int fd) { Peer::readUntil(fd, "\x01never"); }

// A plain SMTP server answering each command; RCPT gets rcptReply. With
// hangUp it closes the connection after the first message's RSET.
Peer::Script smallServer(std::string rcptReply, bool hangUp = false)
{
    return [rcptReply, hangUp](int fd) {
        std::string buffer;
        auto take = [&](const std::string& end, std::string& out) {
            for (;;) {
                if (const std::size_t at = buffer.find(end); at != std::string::npos) {
                    out = buffer.substr(0, at);
                    buffer.erase(0, at + end.size());
                    return true;
                }
                pollfd p {fd, POLLIN, 0};
                char bytes[4096];
                if (::poll(&p, 1, 2000) <= 0) return false;
                const ssize_t n = ::recv(fd, bytes, sizeof bytes, 0);
                if (n <= 0) return false;
                buffer.append(bytes, static_cast<std::size_t>(n));
            }
        };
        Peer::write(fd, "220 ready\r\n");
        std::string line;
        while (take("\r\n", line)) {
            const std::string verb = line.substr(0, 4);
            if (verb == "RCPT") {
                Peer::write(fd, rcptReply + "\r\n");
            } else if (verb == "DATA") {
                Peer::write(fd, "354 go on\r\n");
                if (!take("\r\n.\r\n", line)) return;
                Peer::write(fd, "250 queued\r\n");
            } else if (verb == "QUIT") {
                Peer::write(fd, "221 bye\r\n");
                return;
            } else {
                Peer::write(fd, "250 ok\r\n");
                if (verb == "RSET" && hangUp) return;
            }
        }
    };
}

MoxMsg shortMessage()
{
    MoxMsg msg;
    msg.from = "me@x.org";
    msg.sendTo = "you@y.org";
    msg.text = {"hi"};
    return msg;
}

struct Client {
    MoxSmtp smtp;
    test::SmtpEvents events {smtp};
    std::chrono::milliseconds took {};
    explicit Client(int port, std::uint32_t timeOut = 400)
    {
        smtp.host = "127.0.0.1";
        smtp.port = std::to_string(port);
        smtp.timeOut = timeOut;
    }
    void connect()
    {
        const auto start = Clock::now();
        smtp.connect();
        took = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
    }
    // Why a message cannot be sent now: the reason of what sendMessage throws.
    std::string reason() { return test::sendFailure(smtp, shortMessage()).reason; }
};

} // namespace

namespace {

// A greeting that goes wrong, and how the client ends it: within its time,
// disconnected, the error event fired once, nothing sent.
struct FailingGreeting {
    const char* name;
    Peer::Script peer;
    std::uint32_t timeOut;
    std::chrono::milliseconds atLeast, below; // how long connect() takes
    const char* event;                        // how the onError text begins ("code text")
    const char* reason;                       // a part of the reason the send then gives
};

void PrintTo(const FailingGreeting& greeting, std::ostream* out) { *out << greeting.name; }

class MoxSmtpGreeting : public ::testing::TestWithParam<FailingGreeting> {};

} // namespace

TEST_P(MoxSmtpGreeting, FailsWithinTheLimit)
{
    const FailingGreeting& greeting = GetParam();
    Peer peer(greeting.peer);
    Client run(peer.port(), greeting.timeOut);
    run.connect();
    EXPECT_FALSE(run.smtp.connected());
    EXPECT_GE(run.took, greeting.atLeast);
    EXPECT_LT(run.took, greeting.below);
    ASSERT_EQ(run.events.errors.size(), 1u);
    EXPECT_EQ(run.events.errors[0].rfind(greeting.event, 0), 0u) << run.events.errors[0];
    EXPECT_EQ(run.events.quits, 1);
    EXPECT_TRUE(run.events.sent.empty()); // no HELO after a failed greeting
    const test::SendFailure failure = test::sendFailure(run.smtp, shortMessage());
    EXPECT_EQ(failure.message, "Not connected.");
    EXPECT_NE(failure.reason.find(greeting.reason), std::string::npos) << failure.reason;
}

INSTANTIATE_TEST_SUITE_P(
    Peers, MoxSmtpGreeting,
    ::testing::Values(FailingGreeting {"Silent", untilClosed, 400, 380ms, 900ms, "0 ", "did not answer"},
                      FailingGreeting {"Refusing",
                                       [](int fd) {
                                           Peer::write(fd, "554 No service for you\r\n");
                                           untilClosed(fd);
                                       },
                                       400, 0ms, 900ms, "554 No service for you", "554 No service for you"},
                      // A closed connection ends the wait.
                      FailingGreeting {"Closing",
                                       [](int fd) { Peer::write(fd, "220-mail.example.org\r\n220-more to"); }, 5000,
                                       0ms, 1000ms, "0 ", "closed"},
                      FailingGreeting {"Endless",
                                       [](int fd) {
                                           Peer::write(fd, "220 ");
                                           const auto stop = Clock::now() + 3s;
                                           while (Clock::now() < stop &&
                                                  ::send(fd, std::string(1024, 'x').data(), 1024, MSG_NOSIGNAL) > 0) {}
                                       },
                                       2000, 0ms, 2000ms, "0 ", "too long"},
                      // The limit is for the whole reply, however many lines keep coming.
                      FailingGreeting {"Trickling",
                                       [](int fd) {
                                           const std::string line = "220-still greeting\r\n";
                                           for (int i = 0;
                                                i < 200 && ::send(fd, line.data(), line.size(), MSG_NOSIGNAL) > 0; ++i)
                                               pause(10);
                                       },
                                       500, 0ms, 1000ms, "0 ", "did not answer"}),
    [](const ::testing::TestParamInfo<FailingGreeting>& tested) { return std::string(tested.param.name); });

TEST(MoxSmtpPeers, CancelFromThePumpEndsTheWait)
{
    Peer silent(untilClosed);
    MoxSmtp* target = nullptr;
    int pumped = 0;
    MoxSmtp smtp([&] {
        if (++pumped == 3 && target) target->cancel();
    });
    target = &smtp;
    test::SmtpEvents events(smtp);
    smtp.host = "127.0.0.1";
    smtp.port = std::to_string(silent.port());
    smtp.timeOut = 10000;
    const auto start = Clock::now();
    smtp.connect();
    EXPECT_LT(Clock::now() - start, 1s);
    EXPECT_FALSE(smtp.connected());
    EXPECT_EQ(events.errors, std::vector<std::string> {"0 Cancelled."});
}

TEST(MoxSmtpPeers, QuitFromThePumpDuringASend)
{
    Peer stalling([](int fd) {
        Peer::write(fd, "220 ready\r\n");
        Peer::readUntil(fd, "\r\n");
        Peer::write(fd, "250 hello\r\n");
        untilClosed(fd); // MAIL FROM gets no answer
    });
    MoxSmtp* target = nullptr;
    bool sending = false;
    int pumped = 0;
    std::string reentered;
    MoxSmtp smtp([&] {
        if (!sending || ++pumped != 5) return;
        try {
            target->sendMessage(shortMessage());
        } catch (const vextral::Error& e) {
            reentered = e.what();
        }
        target->quit();
    });
    target = &smtp;
    test::SmtpEvents events(smtp);
    smtp.host = "127.0.0.1";
    smtp.port = std::to_string(stalling.port());
    smtp.timeOut = 10000;
    smtp.connect();
    ASSERT_TRUE(smtp.connected());
    sending = true;
    const auto start = Clock::now();
    const test::SendFailure failure = test::sendFailure(smtp, shortMessage());
    EXPECT_LT(Clock::now() - start, 1s);
    EXPECT_EQ(failure.message, "The mail was not sent: Cancelled.");
    EXPECT_EQ(failure.reason, "Cancelled.");
    EXPECT_EQ(reentered, "A message is being sent.");
    EXPECT_FALSE(smtp.connected());
    EXPECT_EQ(std::count(events.sent.begin(), events.sent.end(), "QUIT\r\n"), 0);
    EXPECT_EQ(std::count(events.sent.begin(), events.sent.end(), "MAIL FROM:<me@x.org>\r\n"), 1);
}

TEST(MoxSmtpPeers, RepliesInOneOrSeveralPieces)
{
    Peer peer([](int fd) {
        Peer::write(fd, "220-mail.example.org ESMTP\r\n220-second line\r\n220 ready\r\n");
        Peer::readUntil(fd, "\r\n");
        Peer::write(fd, "250-first");
        pause(60);
        Peer::write(fd, " half\r\n25");
        pause(60);
        Peer::write(fd, "0 Hello the");
        pause(60);
        Peer::write(fd, "re\r\n");
        untilClosed(fd);
    });
    Client run(peer.port(), 2000);
    run.connect();
    EXPECT_TRUE(run.smtp.connected()) << run.reason();
    EXPECT_EQ(run.events.received, (std::vector<std::string> {"220 ready", "250 Hello there"}));
    EXPECT_EQ(run.smtp.replyText(), "Hello there");
}

TEST(MoxSmtpPeers, ExactCodesAndAReopenedConnection)
{
    Peer relaying(smallServer("251 User not local; will forward"));
    Client run(relaying.port(), 2000);
    run.connect();
    ASSERT_TRUE(run.smtp.connected());
    EXPECT_EQ(run.reason(), "251 User not local; will forward"); // 251 is not 250
    EXPECT_EQ(run.events.errors, std::vector<std::string> {"251 User not local; will forward"});
    EXPECT_EQ(std::count(run.events.sent.begin(), run.events.sent.end(), "DATA\r\n"), 0);

    // A server that hangs up after each message: the next connect opens afresh.
    Peer once(smallServer("250 ok", true));
    Client again(once.port(), 2000);
    again.connect();
    ASSERT_EQ(test::sendFailure(again.smtp, shortMessage()).message, "");
    ASSERT_TRUE(test::waitFor([&] { return once.served() == 1; }, 2s)) << "the server hung up";
    again.connect();
    ASSERT_TRUE(again.smtp.connected());
    EXPECT_EQ(test::sendFailure(again.smtp, shortMessage()).message, "");
    EXPECT_EQ(once.connections(), 2);
    EXPECT_TRUE(again.events.errors.empty());
    again.smtp.quit();
    EXPECT_EQ(again.events.sent.back(), "QUIT\r\n");
}
