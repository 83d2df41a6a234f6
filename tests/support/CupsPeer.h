#pragma once

// Debian's CUPS scheduler as the print server of the tests: a private cupsd
// run in the foreground, with its configuration, spool, cache, state and logs
// in a temporary folder, listening on 127.0.0.1 at a free port and on a socket
// in that folder - never the system's service nor /etc/cups.
//
// It holds one queue, kQueue: a PDF printer (a small PPD of A4 and Letter
// whose printer takes PDF, so that CUPS's own pdftopdf is the whole filter
// chain) whose device is a file, output(). What a job sends arrives there.

#include "TestSupport.h"
#include "support/NetPeers.h"

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>

namespace vextral::test {

class CupsServer {
public:
    static constexpr const char* kProgram = "/usr/sbin/cupsd";
    static constexpr const char* kQueue = "vextral-pdf";

    CupsServer();
    ~CupsServer();
    CupsServer(const CupsServer&) = delete;
    CupsServer& operator=(const CupsServer&) = delete;

    // The scheduler accepts connections and the queue exists and is enabled;
    // when not, problem() tells why.
    bool running() const { return problem_.empty(); }
    const std::string& problem() const { return problem_; }

    // What CUPS_SERVER names this server by.
    std::string address() const { return "127.0.0.1:" + std::to_string(port_); }
    int port() const { return port_; }
    std::filesystem::path output() const { return dir_ / "out.prn"; }

    // Runs a CUPS client program (a command line, lpstat -o ...) against this
    // server only; its exit status, with its output and errors in *output.
    int client(const std::string& commandLine, std::string* output = nullptr) const;
    // The jobs the server lists as completed (lpstat -W completed -o), one a
    // line; waits up to limit until there are at least count.
    std::string completedJobs(int count, std::chrono::milliseconds limit) const;
    // The tail of the scheduler's error log.
    std::string log() const;

private:
    TempDir dir_;
    int port_ = 0;
    std::unique_ptr<ServerProgram> cupsd_;
    std::string problem_;
};

// Points this process's CUPS client library (and the programs it starts) at
// the server for the life of the object: CUPS_SERVER is set, and a library
// that has already chosen a server is told to choose again. Then the default
// server is put back.
class UseCupsServer {
public:
    explicit UseCupsServer(const CupsServer& server);
    ~UseCupsServer();
    UseCupsServer(const UseCupsServer&) = delete;
    UseCupsServer& operator=(const UseCupsServer&) = delete;

private:
    std::unique_ptr<ScopedEnv> server_;
};

} // namespace vextral::test
