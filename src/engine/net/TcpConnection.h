#pragma once

#include "net/Pump.h"

#include <chrono>
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace vextral::net {

// One client TCP connection over POSIX sockets, optionally upgraded to TLS.
// Every operation waits at most the limit it is given, calling the pump
// between short polls; none blocks beyond its limit, whatever the peer does.
// Results are statuses, not exceptions: each protocol of this folder words its
// own messages and throws them as vextral::Error, so the statuses never leave
// net/ (the public headers of the clients do not include this one).
class TcpConnection {
public:
    enum class Status {
        Ok,
        LookupFailed,    // the host name did not resolve (or not within the limit)
        ConnectFailed,   // refused, unreachable, or not within the limit
        TimedOut,        // nothing (more) arrived or could be sent within the limit
        Closed,          // the peer closed the connection (or it was never open)
        Failed,          // another socket error
        TlsFailed,       // handshake, certificate or host name verification failed
        LookupTimedOut,  // connect(): the lookup did not finish within the limit (or was cancelled)
        ConnectTimedOut, // connect(): the connect did not finish within the limit (or was cancelled)
    };

    explicit TcpConnection(Pump pump = {});
    ~TcpConnection(); // closes
    TcpConnection(const TcpConnection&) = delete;
    TcpConnection& operator=(const TcpConnection&) = delete;

    // Resolves host (a name or a dotted address) and connects to port. The
    // lookup and the connect each get the whole limit.
    Status connect(const std::string& host, int port, std::chrono::milliseconds limit);
    // Sends every byte, waiting up to limit for the socket to take them.
    Status send(std::string_view bytes, std::chrono::milliseconds limit);
    // Appends to out what arrives, at most max bytes, waiting up to limit for
    // the first byte. Closed when the peer has closed and nothing is left.
    Status receive(std::string& out, std::size_t max, std::chrono::milliseconds limit);
    // Upgrades the open connection to TLS and verifies the server's
    // certificate and its host name (serverName) against the system's trust
    // store (OpenSSL's default paths, so SSL_CERT_FILE is honoured). OpenSSL
    // comes from the plugin libvextral-tls.so, loaded on the first call;
    // without it this is TlsFailed with "secure connections need OpenSSL
    // (package libssl3)" and the connection is closed.
    Status startTls(const std::string& serverName, std::chrono::milliseconds limit);
    // Why the last TLS operation failed, in OpenSSL's words (or why there is
    // no TLS); empty otherwise.
    const std::string& tlsError() const;

    bool isOpen() const;
    bool isTls() const;
    void close();

    // Makes the wait under way (when called from the pump) or else the next
    // one end at once with TimedOut (a Stop button, say); connect() then
    // gives LookupTimedOut or ConnectTimedOut.
    void cancel();

private:
    struct State;
    std::unique_ptr<State> state_;
};

} // namespace vextral::net
