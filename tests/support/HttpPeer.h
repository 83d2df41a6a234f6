#pragma once

// HTTP servers on 127.0.0.1 for the tests of the HTTP client, the update check
// and its dialog: a scripted one of our own, where the exact bytes on the wire
// matter, and Python's http.server serving a folder.

#include "TestSupport.h"
#include "support/NetPeers.h"

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace vextral::test {

// Accepts connections one after another on a port of its own; for each it
// reads the request up to its empty line, records it, and hands it to the
// script, which answers through the connection. Stopped (and every
// connection closed) on destruction.
class ScriptedHttpServer {
public:
    class Connection {
    public:
        // Sends bytes; false once the client has gone.
        bool send(const std::string& bytes) const;
        // Waits up to ms (or until the server stops, or the client closes):
        // a server that is slow on purpose.
        void wait(int ms) const;
        const std::string& request() const { return request_; }
        bool stopping() const { return stopping_; }

    private:
        friend class ScriptedHttpServer;
        Connection(int fd, std::string request, const std::atomic<bool>& stopping)
            : fd_(fd), request_(std::move(request)), stopping_(stopping)
        {}
        int fd_;
        std::string request_;
        const std::atomic<bool>& stopping_;
    };
    // Called with the connection's number (0, 1, ...) and the connection.
    using Script = std::function<void(int, const Connection&)>;

    explicit ScriptedHttpServer(Script script);
    ~ScriptedHttpServer();
    ScriptedHttpServer(const ScriptedHttpServer&) = delete;
    ScriptedHttpServer& operator=(const ScriptedHttpServer&) = delete;

    int port() const { return peer_->port(); }
    std::string url(const std::string& path = "/update.ini") const;
    std::vector<std::string> requests() const;

private:
    void serve(int fd);

    Script script_;
    std::atomic<bool> stopping_ {false};
    int served_ = 0; // touched by the peer's thread only
    mutable std::mutex mutex_;
    std::vector<std::string> requests_;
    std::unique_ptr<ScriptedPeer> peer_; // last: it stops before the rest goes
};

// Python's http.server (Debian's /usr/bin/python3, http_test_server.py)
// serving folder on a free port of 127.0.0.1, stopped on destruction.
// Throws std::runtime_error when it does not start.
class PythonHttpServer {
public:
    explicit PythonHttpServer(const std::string& folder);
    std::string url(const std::string& path) const;

private:
    TempDir dir_;
    std::unique_ptr<PythonServer> server_;
};

// A port of 127.0.0.1 where nothing listens.
inline int refusedPort() { return unusedPort(); }

} // namespace vextral::test
