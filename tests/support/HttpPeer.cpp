#include "support/HttpPeer.h"

#include <chrono>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>

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

ScriptedHttpServer::ScriptedHttpServer(Script script)
    : script_(std::move(script)), peer_(std::make_unique<ScriptedPeer>([this](int fd) { serve(fd); }))
{
    if (peer_->port() == 0) throw std::runtime_error("cannot listen on 127.0.0.1");
}

ScriptedHttpServer::~ScriptedHttpServer()
{
    stopping_ = true; // ends the script under way
    peer_.reset();
}

std::string ScriptedHttpServer::url(const std::string& path) const
{
    return "http://127.0.0.1:" + std::to_string(port()) + path;
}

std::vector<std::string> ScriptedHttpServer::requests() const
{
    std::lock_guard lock(mutex_);
    return requests_;
}

void ScriptedHttpServer::serve(int fd)
{
    std::string request;
    ScriptedPeer::readUntil(fd, "\r\n\r\n", &request, std::chrono::seconds(5));
    {
        std::lock_guard lock(mutex_);
        requests_.push_back(request);
    }
    script_(served_++, Connection(fd, request, stopping_));
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
