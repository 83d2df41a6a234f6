#include "support/HttpPeer.h"

#include <chrono>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace vextral::test {

bool ScriptedHttpServer::Connection::send(const std::string& bytes) const
{
    return ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(bytes.size());
}

void ScriptedHttpServer::Connection::wait(int ms) const
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

ScriptedHttpServer::ScriptedHttpServer(Script script) : script_(std::move(script))
{
    listen_ = listenLocal(&port_);
    if (listen_ < 0) throw std::runtime_error("cannot listen on 127.0.0.1");
    thread_ = std::thread([this] { run(); });
}

ScriptedHttpServer::~ScriptedHttpServer()
{
    stopping_ = true;
    thread_.join();
    ::close(listen_);
}

std::string ScriptedHttpServer::url(const std::string& path) const
{
    return "http://127.0.0.1:" + std::to_string(port_) + path;
}

std::vector<std::string> ScriptedHttpServer::requests() const
{
    std::lock_guard lock(mutex_);
    return requests_;
}

void ScriptedHttpServer::run()
{
    for (int n = 0; !stopping_;) {
        pollfd p {listen_, POLLIN, 0};
        if (::poll(&p, 1, 20) <= 0) continue;
        const int fd = ::accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) continue;
        std::string request;
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (!stopping_ && request.find("\r\n\r\n") == std::string::npos && std::chrono::steady_clock::now() < end) {
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

PythonHttpServer::PythonHttpServer(const std::string& folder)
    : server_(std::make_unique<PythonServer>(supportFile("http_test_server.py"), dir_.path(),
                                             std::vector<std::string> {folder}))
{
    if (!server_->running()) throw std::runtime_error("http.server did not start");
}

std::string PythonHttpServer::url(const std::string& path) const
{
    return "http://127.0.0.1:" + std::to_string(server_->port()) + path;
}

} // namespace vextral::test
