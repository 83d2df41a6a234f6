#pragma once

// Real peers for the network tests (engine and GUI), all on 127.0.0.1 and all
// stopped by their destructors: a C++ thread that serves one scripted
// conversation, a Python script run as a server, and TLS certificates made
// with openssl. The HTTP and SMTP servers are in HttpPeer.h and SmtpPeer.h.

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <sys/types.h>
#include <thread>
#include <vector>

namespace vextral::test {

// Listens on 127.0.0.1 (a free port) and runs the script on each accepted
// connection (the socket is closed after the script returns) until stopped.
class ScriptedPeer {
public:
    using Script = std::function<void(int fd)>;
    explicit ScriptedPeer(Script script);
    ~ScriptedPeer();
    ScriptedPeer(const ScriptedPeer&) = delete;
    ScriptedPeer& operator=(const ScriptedPeer&) = delete;
    int port() const { return port_; }
    int connections() const { return connections_; }
    // Connections whose script has returned and whose socket is closed.
    int served() const { return served_; }

    // Helpers for scripts: write all of text; read until text holds needle
    // (or the peer closes or limit passes); true when it was found.
    static void write(int fd, const std::string& text);
    static bool readUntil(int fd, const std::string& needle, std::string* text = nullptr,
                          std::chrono::milliseconds limit = std::chrono::seconds(2));

private:
    int listener_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_ {false};
    std::atomic<int> connections_ {0};
    std::atomic<int> served_ {0};
    std::thread thread_;
};

// Listens on 127.0.0.1 at a free port (written to *port); the descriptor,
// -1 when that failed.
int listenLocal(int* port);

// A helper file of these peers (a server script of tests/support) by name.
std::filesystem::path supportFile(const std::string& name);

// A port nothing listens on (bound, then released at once).
int unusedPort();

// Runs /usr/bin/python3 with the script file and arguments; the script must
// write its port number to the file passed as its first argument. The
// constructor waits (up to ten seconds) for that file. Killed on destruction.
class PythonServer {
public:
    PythonServer(const std::filesystem::path& script, const std::filesystem::path& dir,
                 const std::vector<std::string>& arguments = {});
    ~PythonServer();
    PythonServer(const PythonServer&) = delete;
    PythonServer& operator=(const PythonServer&) = delete;
    int port() const { return port_; }
    bool running() const { return port_ > 0; }

private:
    pid_t pid_ = -1;
    int port_ = 0;
};

// A server program (lighttpd, squid, exim...) run in the foreground as a
// private instance: started with argv (argv[0] a full path), ready once
// 127.0.0.1:port accepts connections (waited for up to ten seconds, less
// when the program exits first). Asked to stop with SIGTERM on destruction,
// killed when it lingers, and reaped.
class ServerProgram {
public:
    ServerProgram(const std::vector<std::string>& argv, int port);
    ~ServerProgram();
    ServerProgram(const ServerProgram&) = delete;
    ServerProgram& operator=(const ServerProgram&) = delete;
    bool ready() const { return ready_; }

private:
    pid_t pid_ = -1;
    bool ready_ = false;
};

// True when something accepts a connection on 127.0.0.1:port.
bool acceptsConnections(int port);

// A test CA (dir/ca.pem, made on first use) and a server certificate signed
// by it, dir/NAME.pem with its key dir/NAME.key. The certificate names the
// given DNS names (and 127.0.0.1). Returns false when openssl failed.
bool makeCertificates(const std::filesystem::path& dir, const std::vector<std::string>& dnsNames,
                      const std::string& name = "server");

} // namespace vextral::test
