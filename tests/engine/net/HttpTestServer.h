#pragma once

// HTTP servers on 127.0.0.1 for the tests of the update check: a scripted one
// of our own, where the exact bytes on the wire matter, and Python's
// http.server serving a folder.
#include <arpa/inet.h>
#include <csignal>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
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
        bool send(const std::string& bytes) const
        {
            return ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(bytes.size());
        }
        // Waits up to ms (or until the server stops, or the client closes).
        void wait(int ms) const
        {
            const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
            while (!stopping_ && std::chrono::steady_clock::now() < end) {
                pollfd p {fd_, POLLIN, 0};
                if (::poll(&p, 1, 20) > 0) {
                    char c;
                    if (::recv(fd_, &c, 1, MSG_PEEK) <= 0) return;
                }
            }
        }
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

    explicit ScriptedHttpServer(Script script) : script_(std::move(script))
    {
        listen_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a {};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        if (listen_ < 0 || ::bind(listen_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
            ::listen(listen_, 8) != 0 || ::getsockname(listen_, reinterpret_cast<sockaddr*>(&a), &len) != 0)
            throw std::runtime_error("cannot listen on 127.0.0.1");
        port_ = ntohs(a.sin_port);
        thread_ = std::thread([this] { run(); });
    }
    ~ScriptedHttpServer()
    {
        stopping_ = true;
        thread_.join();
        ::close(listen_);
    }
    ScriptedHttpServer(const ScriptedHttpServer&) = delete;
    ScriptedHttpServer& operator=(const ScriptedHttpServer&) = delete;

    int port() const { return port_; }
    std::string url(const std::string& path = "/update.ini") const
    {
        return "http://127.0.0.1:" + std::to_string(port_) + path;
    }
    std::vector<std::string> requests() const
    {
        std::lock_guard lock(mutex_);
        return requests_;
    }

private:
    void run()
    {
        for (int n = 0; !stopping_;) {
            pollfd p {listen_, POLLIN, 0};
            if (::poll(&p, 1, 20) <= 0) continue;
            const int fd = ::accept(listen_, nullptr, nullptr);
            if (fd < 0) continue;
            std::string request;
            const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
            while (!stopping_ && request.find("\r\n\r\n") == std::string::npos &&
                   std::chrono::steady_clock::now() < end) {
                pollfd q {fd, POLLIN, 0};
                if (::poll(&q, 1, 20) <= 0) continue;
                char buffer[4096];
                const ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
                if (got <= 0) break;
                request.append(buffer, static_cast<std::size_t>(got));
            }
            {
                std::lock_guard lock(mutex_);
                requests_.push_back(request);
            }
            script_(n++, Connection(fd, request, stopping_));
            ::close(fd);
        }
    }

    Script script_;
    int listen_ = -1;
    int port_ = 0;
    std::atomic<bool> stopping_ {false};
    std::thread thread_;
    mutable std::mutex mutex_;
    std::vector<std::string> requests_;
};

// Python's http.server (Debian's /usr/bin/python3) serving folder on a free
// port of 127.0.0.1, stopped on destruction.
class PythonHttpServer {
public:
    explicit PythonHttpServer(const std::string& folder)
    {
        int out[2];
        if (::pipe(out) != 0) throw std::runtime_error("pipe");
        pid_ = ::fork();
        if (pid_ == 0) {
            ::dup2(out[1], 1);
            ::close(out[0]);
            ::close(out[1]);
            const char* code = "import functools, http.server, sys\n"
                               "class Quiet(http.server.SimpleHTTPRequestHandler):\n"
                               "    def log_message(self, *a): pass\n"
                               "s = http.server.ThreadingHTTPServer(('127.0.0.1', 0),"
                               " functools.partial(Quiet, directory=sys.argv[1]))\n"
                               "print(s.server_address[1], flush=True)\n"
                               "s.serve_forever()\n";
            ::execl("/usr/bin/python3", "python3", "-c", code, folder.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(out[1]);
        std::string line;
        char c;
        while (::read(out[0], &c, 1) == 1 && c != '\n') line += c;
        ::close(out[0]);
        port_ = line.empty() ? 0 : std::stoi(line);
        if (port_ == 0) {
            stop();
            throw std::runtime_error("http.server did not start");
        }
    }
    ~PythonHttpServer() { stop(); }
    PythonHttpServer(const PythonHttpServer&) = delete;
    PythonHttpServer& operator=(const PythonHttpServer&) = delete;

    std::string url(const std::string& path) const { return "http://127.0.0.1:" + std::to_string(port_) + path; }

private:
    void stop()
    {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGTERM);
        ::waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }
    pid_t pid_ = -1;
    int port_ = 0;
};

// A port of 127.0.0.1 where nothing listens: bound and closed again.
inline int refusedPort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a {};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    ::close(fd);
    return ntohs(a.sin_port);
}

} // namespace vextral::test
