#include "net/TcpConnection.h"

#include "core/FileDescriptor.h"
#include "net/TlsPlugin.h"

#include <arpa/inet.h>
#include <cerrno>
#include <condition_variable>
#include <csignal>
#include <cstring>
#include <mutex>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace vextral::net {

namespace {

using Clock = std::chrono::steady_clock;

// How long one poll lasts before the pump runs again.
constexpr std::chrono::milliseconds slice {25};

// The outcome of one name lookup, shared between the waiting caller and the
// worker thread: whichever lets go last frees it, so a caller that gives up
// on a slow lookup leaves the worker to finish (and clean up) on its own.
struct Lookup {
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    int error = 0;
    addrinfo* result = nullptr;
    ~Lookup()
    {
        if (result) freeaddrinfo(result);
    }
};

addrinfo hints(int extraFlags)
{
    addrinfo h {};
    h.ai_family = AF_UNSPEC;
    h.ai_socktype = SOCK_STREAM;
    h.ai_flags = AI_ADDRCONFIG | extraFlags;
    return h;
}

bool isIpLiteral(const std::string& host)
{
    unsigned char buffer[sizeof(in6_addr)];
    return inet_pton(AF_INET, host.c_str(), buffer) == 1 || inet_pton(AF_INET6, host.c_str(), buffer) == 1;
}

// TLS comes from the program's plugin (net/TlsPlugin.h), which alone links
// OpenSSL: loaded the first time a connection starts TLS, once for the
// process (the first caller loads it, the others wait).
struct Tls {
    const TlsPlugin* plugin = nullptr;
    std::string problem; // when there is none: why, the text a connection fails with
};

const Tls& tls()
{
    static const Tls loaded = [] {
        Tls t;
        Plugin<TlsPlugin> found = loadPluginTable<TlsPlugin>(kTlsPluginFile, kTlsPluginEntry, kTlsPluginVersion);
        t.plugin = found.table;
        if (!t.plugin) {
            t.problem = std::string("secure connections need OpenSSL (package ") + kTlsPackage + ")";
            if (!found.problem.empty()) t.problem += ": " + found.problem;
        }
        return t;
    }();
    return loaded;
}

// What the plugin writes its error texts into.
struct ErrorText {
    char text[1024] = {};
    std::string str() const { return text; }
};

// TLS writes to the socket with write(), which raises SIGPIPE when the
// peer has gone; a closed connection must be a status, not the end of the
// program. A handler someone else installed is left alone.
void ignoreSigpipe()
{
    struct sigaction current {};
    if (sigaction(SIGPIPE, nullptr, &current) == 0 && current.sa_handler == SIG_DFL) std::signal(SIGPIPE, SIG_IGN);
}

} // namespace

struct TcpConnection::State {
    Pump pump;
    FileDescriptor socket;
    // The plugin and the session while the connection is TLS.
    const TlsPlugin* tls = nullptr;
    TlsSession* ssl = nullptr;
    bool cancelled = false;
    std::string tlsError;

    ~State() { closeSocket(); }

    void closeSocket()
    {
        if (ssl) {
            tls->close(ssl);
            ssl = nullptr;
        }
        socket.reset();
    }

    void runPump()
    {
        if (pump) pump();
    }

    // True (and the request consumed) when cancel() asked the wait to end.
    bool takeCancel()
    {
        if (!cancelled) return false;
        cancelled = false;
        return true;
    }

    // Waits until the socket is ready for events or the deadline passes, running the
    // pump between short polls. Ok, TimedOut, or Closed (hang-up with nothing
    // to read is left to the read itself to report).
    Status waitFor(short events, Clock::time_point deadline)
    {
        for (;;) {
            if (takeCancel()) return Status::TimedOut;
            const auto now = Clock::now();
            if (now >= deadline) return Status::TimedOut;
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now);
            pollfd p {socket.get(), events, 0};
            const int n = ::poll(&p, 1, static_cast<int>(std::min(left, slice).count()) + 1);
            if (n > 0) return Status::Ok;
            if (n < 0 && errno != EINTR) return Status::Failed;
            runPump();
        }
    }

    // Waits after a TLS step asked for more (want read / want write).
    Status waitForTls(TlsStep step, Clock::time_point deadline)
    {
        return waitFor(step == TlsStep::WantWrite ? POLLOUT : POLLIN, deadline);
    }
};

TcpConnection::TcpConnection(Pump pump) : state_(std::make_unique<State>()) { state_->pump = std::move(pump); }

TcpConnection::~TcpConnection() = default;

TcpConnection::Status TcpConnection::connect(const std::string& host, int port, std::chrono::milliseconds limit)
{
    State& s = *state_;
    close();
    s.tlsError.clear();
    if (host.empty()) return Status::LookupFailed;
    if (port <= 0 || port > 65535) return Status::ConnectFailed;
    const std::string service = std::to_string(port);

    // A dotted (or IPv6) address needs no lookup; a name is resolved on a
    // worker so that the wait keeps its limit and the pump keeps running.
    auto lookup = std::make_shared<Lookup>();
    if (isIpLiteral(host)) {
        const addrinfo h = hints(AI_NUMERICHOST | AI_NUMERICSERV);
        lookup->error = getaddrinfo(host.c_str(), service.c_str(), &h, &lookup->result);
        lookup->finished = true;
    } else {
        std::thread([lookup, host, service] {
            const addrinfo h = hints(AI_NUMERICSERV);
            addrinfo* result = nullptr;
            const int error = getaddrinfo(host.c_str(), service.c_str(), &h, &result);
            std::lock_guard lock(lookup->mutex);
            lookup->result = result;
            lookup->error = error;
            lookup->finished = true;
            lookup->done.notify_all();
        }).detach();
        const auto deadline = Clock::now() + limit;
        for (;;) {
            {
                std::unique_lock lock(lookup->mutex);
                if (lookup->done.wait_for(lock, slice, [&] { return lookup->finished; })) break;
            }
            if (s.takeCancel() || Clock::now() >= deadline) return Status::LookupTimedOut;
            s.runPump();
        }
    }
    if (lookup->error != 0 || !lookup->result) return Status::LookupFailed;

    const auto deadline = Clock::now() + limit;
    Status status = Status::ConnectFailed;
    for (addrinfo* a = lookup->result; a; a = a->ai_next) {
        s.socket.reset(::socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a->ai_protocol));
        if (!s.socket) continue;
        const int fd = s.socket.get();
        if (::connect(fd, a->ai_addr, a->ai_addrlen) == 0) return Status::Ok;
        if (errno == EINPROGRESS) {
            const Status waited = s.waitFor(POLLOUT, deadline);
            int error = 0;
            socklen_t length = sizeof error;
            if (waited == Status::Ok && getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0)
                return Status::Ok;
            if (waited == Status::TimedOut) {
                s.closeSocket();
                return Status::ConnectTimedOut;
            }
        }
        s.closeSocket();
        status = Status::ConnectFailed;
    }
    return status;
}

TcpConnection::Status TcpConnection::send(std::string_view bytes, std::chrono::milliseconds limit)
{
    State& s = *state_;
    if (!s.socket) return Status::Closed;
    const auto deadline = Clock::now() + limit;
    while (!bytes.empty()) {
        if (s.ssl) {
            std::size_t written = 0;
            ErrorText error;
            const TlsStep step =
                s.tls->write(s.ssl, bytes.data(), bytes.size(), &written, error.text, sizeof error.text);
            if (step == TlsStep::Done) {
                bytes.remove_prefix(written);
                continue;
            }
            if (step == TlsStep::WantRead || step == TlsStep::WantWrite) {
                if (const Status w = s.waitForTls(step, deadline); w != Status::Ok) return w;
                continue;
            }
            s.tlsError = error.str();
            return step == TlsStep::Closed ? Status::Closed : Status::Failed;
        }
        const ssize_t n = ::send(s.socket.get(), bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (n > 0) {
            bytes.remove_prefix(static_cast<std::size_t>(n));
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (const Status w = s.waitFor(POLLOUT, deadline); w != Status::Ok) return w;
            continue;
        }
        return errno == EPIPE || errno == ECONNRESET ? Status::Closed : Status::Failed;
    }
    return Status::Ok;
}

TcpConnection::Status TcpConnection::receive(std::string& out, std::size_t max, std::chrono::milliseconds limit)
{
    State& s = *state_;
    if (!s.socket) return Status::Closed;
    if (max == 0) return Status::Ok;
    const auto deadline = Clock::now() + limit;
    const std::size_t start = out.size();
    out.resize(start + max);
    auto finish = [&](std::size_t got, Status status) {
        out.resize(start + got);
        return status;
    };
    for (;;) {
        if (s.ssl) {
            std::size_t got = 0;
            ErrorText error;
            const TlsStep step = s.tls->read(s.ssl, out.data() + start, max, &got, error.text, sizeof error.text);
            if (step == TlsStep::Done) return finish(got, Status::Ok);
            if (step == TlsStep::WantRead || step == TlsStep::WantWrite) {
                if (const Status w = s.waitForTls(step, deadline); w != Status::Ok) return finish(0, w);
                continue;
            }
            if (step == TlsStep::Closed) return finish(0, Status::Closed);
            s.tlsError = error.str();
            return finish(0, Status::Failed);
        }
        const ssize_t n = ::recv(s.socket.get(), out.data() + start, max, 0);
        if (n > 0) return finish(static_cast<std::size_t>(n), Status::Ok);
        if (n == 0) return finish(0, Status::Closed);
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) {
            if (const Status w = s.waitFor(POLLIN, deadline); w != Status::Ok) return finish(0, w);
            continue;
        }
        return finish(0, errno == ECONNRESET ? Status::Closed : Status::Failed);
    }
}

TcpConnection::Status TcpConnection::startTls(const std::string& serverName, std::chrono::milliseconds limit)
{
    State& s = *state_;
    s.tlsError.clear();
    if (!s.socket) return Status::Closed;
    if (s.ssl) return Status::Ok;
    const Tls& loaded = tls();
    if (!loaded.plugin) {
        s.tlsError = loaded.problem;
        s.closeSocket();
        return Status::TlsFailed;
    }
    ignoreSigpipe();
    s.tls = loaded.plugin;
    ErrorText error;
    s.ssl = s.tls->open(s.socket.get(), serverName.c_str(), isIpLiteral(serverName), error.text, sizeof error.text);
    if (!s.ssl) {
        s.tlsError = error.str();
        s.closeSocket();
        return Status::TlsFailed;
    }
    const auto deadline = Clock::now() + limit;
    for (;;) {
        const TlsStep step = s.tls->handshake(s.ssl, error.text, sizeof error.text);
        if (step == TlsStep::Done) return Status::Ok;
        if (step == TlsStep::WantRead || step == TlsStep::WantWrite) {
            if (const Status w = s.waitForTls(step, deadline); w != Status::Ok) {
                s.closeSocket();
                return w;
            }
            continue;
        }
        s.tlsError = error.str();
        s.closeSocket();
        return Status::TlsFailed;
    }
}

const std::string& TcpConnection::tlsError() const { return state_->tlsError; }

bool TcpConnection::isOpen() const { return state_->socket.valid(); }

bool TcpConnection::isTls() const { return state_->ssl != nullptr; }

void TcpConnection::close()
{
    State& s = *state_;
    if (s.ssl) {
        // A courtesy close_notify; the socket is non-blocking, so this never waits.
        s.tls->shutdown(s.ssl);
    }
    s.closeSocket();
    s.cancelled = false;
}

void TcpConnection::cancel() { state_->cancelled = true; }

} // namespace vextral::net
