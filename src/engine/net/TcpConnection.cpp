#include "net/TcpConnection.h"

#include "core/FileDescriptor.h"

#include <arpa/inet.h>
#include <cerrno>
#include <condition_variable>
#include <csignal>
#include <cstring>
#include <mutex>
#include <netdb.h>
#include <netinet/in.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>
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

std::string opensslErrors()
{
    std::string text;
    while (unsigned long code = ERR_get_error()) {
        char buffer[256];
        ERR_error_string_n(code, buffer, sizeof buffer);
        if (!text.empty()) text += "; ";
        text += buffer;
    }
    return text;
}

// OpenSSL writes to the socket with write(), which raises SIGPIPE when the
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
    SSL_CTX* ctx = nullptr;
    SSL* ssl = nullptr;
    bool cancelled = false;
    std::string tlsError;

    ~State()
    {
        closeSocket();
        if (ctx) SSL_CTX_free(ctx);
    }

    void closeSocket()
    {
        if (ssl) {
            SSL_free(ssl);
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

    // Waits after an OpenSSL call asked for more (want read / want write).
    Status waitForSsl(int sslError, Clock::time_point deadline)
    {
        return waitFor(sslError == SSL_ERROR_WANT_WRITE ? POLLOUT : POLLIN, deadline);
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
            ERR_clear_error();
            std::size_t written = 0;
            if (SSL_write_ex(s.ssl, bytes.data(), bytes.size(), &written) == 1) {
                bytes.remove_prefix(written);
                continue;
            }
            const int error = SSL_get_error(s.ssl, 0);
            if (error == SSL_ERROR_WANT_READ || error == SSL_ERROR_WANT_WRITE) {
                if (const Status w = s.waitForSsl(error, deadline); w != Status::Ok) return w;
                continue;
            }
            s.tlsError = opensslErrors();
            return error == SSL_ERROR_ZERO_RETURN || error == SSL_ERROR_SYSCALL ? Status::Closed : Status::Failed;
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
            ERR_clear_error();
            std::size_t got = 0;
            if (SSL_read_ex(s.ssl, out.data() + start, max, &got) == 1) return finish(got, Status::Ok);
            const int error = SSL_get_error(s.ssl, 0);
            if (error == SSL_ERROR_WANT_READ || error == SSL_ERROR_WANT_WRITE) {
                if (const Status w = s.waitForSsl(error, deadline); w != Status::Ok) return finish(0, w);
                continue;
            }
            if (error == SSL_ERROR_ZERO_RETURN || error == SSL_ERROR_SYSCALL) return finish(0, Status::Closed);
            s.tlsError = opensslErrors();
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
    ERR_clear_error();
    if (!s.ctx) {
        ignoreSigpipe();
        s.ctx = SSL_CTX_new(TLS_client_method());
        if (!s.ctx) {
            s.tlsError = opensslErrors();
            return Status::TlsFailed;
        }
        SSL_CTX_set_min_proto_version(s.ctx, TLS1_2_VERSION);
        // Honours SSL_CERT_FILE and SSL_CERT_DIR, else the system's store.
        SSL_CTX_set_default_verify_paths(s.ctx);
        SSL_CTX_set_verify(s.ctx, SSL_VERIFY_PEER, nullptr);
        // A peer that closes without close_notify is a closed connection,
        // not an error, as it is for plain TCP.
        SSL_CTX_set_options(s.ctx, SSL_OP_IGNORE_UNEXPECTED_EOF);
    }
    s.ssl = SSL_new(s.ctx);
    if (!s.ssl || SSL_set_fd(s.ssl, s.socket.get()) != 1) {
        s.tlsError = opensslErrors();
        s.closeSocket();
        return Status::TlsFailed;
    }
    bool named = false;
    if (isIpLiteral(serverName)) {
        named = X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(s.ssl), serverName.c_str()) == 1;
    } else {
        named =
            SSL_set_tlsext_host_name(s.ssl, serverName.c_str()) == 1 && SSL_set1_host(s.ssl, serverName.c_str()) == 1;
    }
    if (!named) {
        s.tlsError = "invalid server name: " + serverName;
        s.closeSocket();
        return Status::TlsFailed;
    }
    const auto deadline = Clock::now() + limit;
    for (;;) {
        ERR_clear_error();
        const int result = SSL_connect(s.ssl);
        if (result == 1) return Status::Ok;
        const int error = SSL_get_error(s.ssl, result);
        if (error == SSL_ERROR_WANT_READ || error == SSL_ERROR_WANT_WRITE) {
            if (const Status w = s.waitForSsl(error, deadline); w != Status::Ok) {
                s.closeSocket();
                return w;
            }
            continue;
        }
        const long verify = SSL_get_verify_result(s.ssl);
        if (verify != X509_V_OK)
            s.tlsError = std::string("certificate verify failed: ") + X509_verify_cert_error_string(verify);
        else if (std::string errors = opensslErrors(); !errors.empty())
            s.tlsError = errors;
        else
            s.tlsError = "the server closed the connection during the TLS handshake";
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
        SSL_shutdown(s.ssl);
    }
    s.closeSocket();
    s.cancelled = false;
}

void TcpConnection::cancel() { state_->cancelled = true; }

} // namespace vextral::net
