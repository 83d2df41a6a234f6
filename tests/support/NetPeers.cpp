#include "support/NetPeers.h"

#include "support/Wait.h"

#include "TestSupport.h"

#include <arpa/inet.h>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <netinet/in.h>
#include <poll.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace vextral::test {

int listenLocal(int* port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    const int one = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(fd, 8) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        ::close(fd);
        return -1;
    }
    *port = ntohs(address.sin_port);
    return fd;
}

ScriptedPeer::ScriptedPeer(Script script)
{
    listener_ = listenLocal(&port_);
    thread_ = std::thread([this, script = std::move(script)] {
        while (!stop_) {
            pollfd p {listener_, POLLIN, 0};
            if (::poll(&p, 1, 20) <= 0) continue;
            const int fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0) continue;
            ++connections_;
            script(fd);
            ::close(fd);
            ++served_;
        }
    });
}

ScriptedPeer::~ScriptedPeer()
{
    stop_ = true;
    thread_.join();
    if (listener_ >= 0) ::close(listener_);
}

void ScriptedPeer::write(int fd, const std::string& text)
{
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::send(fd, text.data() + done, text.size() - done, MSG_NOSIGNAL);
        if (n <= 0) return;
        done += static_cast<std::size_t>(n);
    }
}

bool ScriptedPeer::readUntil(int fd, const std::string& needle, std::string* text, std::chrono::milliseconds limit)
{
    std::string got;
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (got.find(needle) == std::string::npos && std::chrono::steady_clock::now() < deadline) {
        pollfd p {fd, POLLIN, 0};
        if (::poll(&p, 1, 20) <= 0) continue;
        char buffer[4096];
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0) break;
        got.append(buffer, static_cast<std::size_t>(n));
    }
    if (text) *text = got;
    return got.find(needle) != std::string::npos;
}

std::filesystem::path supportFile(const std::string& name)
{
    return std::filesystem::path(VEXTRAL_FIXTURES).parent_path() / "support" / name;
}

int unusedPort()
{
    int port = 0;
    const int fd = listenLocal(&port);
    if (fd >= 0) ::close(fd);
    return port;
}

bool acceptsConnections(int port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return ok;
}

ServerProgram::ServerProgram(const std::vector<std::string>& argv, int port)
{
    pid_ = ::fork();
    if (pid_ == 0) {
        std::vector<char*> args;
        for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        ::execv(args[0], args.data());
        ::_exit(127);
    }
    for (int i = 0; i < 200 && pid_ > 0; ++i) { // at most ten seconds
        if (acceptsConnections(port)) {
            ready_ = true;
            break;
        }
        int status = 0;
        if (::waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

ServerProgram::~ServerProgram()
{
    if (pid_ <= 0) return;
    // Asked to stop first (squid and exim then end their helpers), killed
    // when it lingers.
    ::kill(pid_, SIGTERM);
    for (int i = 0; i < 40; ++i) {
        if (::waitpid(pid_, nullptr, WNOHANG) == pid_) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
}

PythonServer::PythonServer(const std::filesystem::path& script, const std::filesystem::path& dir,
                           const std::vector<std::string>& arguments)
{
    const std::filesystem::path portFile =
        dir / ("port-" + std::to_string(::getpid()) + "-" +
               std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
    std::vector<std::string> args {"/usr/bin/python3", script.string(), portFile.string()};
    args.insert(args.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    if (posix_spawn(&pid_, argv[0], nullptr, nullptr, argv.data(), environ) != 0) {
        pid_ = -1;
        return;
    }
    waitFor(
        [&] {
            std::ifstream in(portFile);
            int port = 0;
            if (in >> port && port > 0) {
                port_ = port;
                return true;
            }
            if (waitpid(pid_, nullptr, WNOHANG) != pid_) return false;
            pid_ = -1; // it ended without a port
            return true;
        },
        std::chrono::seconds(10), std::chrono::milliseconds(20));
    std::error_code ignored;
    std::filesystem::remove(portFile, ignored);
}

PythonServer::~PythonServer()
{
    if (pid_ <= 0) return;
    ::kill(pid_, SIGTERM);
    if (waitFor([this] { return waitpid(pid_, nullptr, WNOHANG) == pid_; }, std::chrono::seconds(2))) return;
    ::kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
}

bool makeCertificates(const std::filesystem::path& dir, const std::vector<std::string>& dnsNames,
                      const std::string& name)
{
    std::string names;
    for (const auto& dns : dnsNames) names += "DNS:" + dns + ",";
    names += "IP:127.0.0.1";
    const std::string d = shellQuote(dir.string());
    const std::string n = shellQuote(name);
    const std::string command =
        "cd " + d + " && { test -f ca.pem ||" +
        " openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -keyout ca.key -out ca.pem -days 2 "
        "-subj '/CN=Vextral Test CA' "
        "-addext basicConstraints=critical,CA:TRUE -addext keyUsage=critical,keyCertSign,cRLSign 2>/dev/null; }"
        " && openssl req -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -keyout " +
        n + ".key -out " + n + ".csr -subj '/CN=" + dnsNames.front() +
        "' 2>/dev/null"
        " && printf 'subjectAltName=" +
        names +
        "\\nbasicConstraints=CA:FALSE\\nextendedKeyUsage=serverAuth\\n' > ext.cnf"
        " && openssl x509 -req -in " +
        n + ".csr -CA ca.pem -CAkey ca.key -CAcreateserial -out " + n +
        ".pem -days 2 "
        "-extfile ext.cnf 2>/dev/null";
    return runCommand(command) == 0;
}

} // namespace vextral::test
