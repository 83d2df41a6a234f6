#pragma once

// Debian's exim (exim4-daemon-light) as the mail server of the tests: two
// private instances on 127.0.0.1, each with its own configuration, spool,
// logs and Maildir in a temporary folder, never the system's service.
//
// The submission server takes mail on port() (STARTTLS offered) and on
// tlsPort() (TLS from the first byte), with a certificate signed by caFile().
// Once the connection is protected it offers AUTH PLAIN and LOGIN for user
// "ann", password "secret". Mail for anyone@local.test goes to its own
// Maildir; mail for anyone@relay.test is relayed over SMTP - by exim's own
// smtp transport, which refuses lines over 998 characters - to the second
// instance, which delivers it to its Maildir. A message whose subject
// contains "slow" is answered after the DATA only once slowSeconds have
// passed, as a server that checks content does.

#include "TestSupport.h"
#include "support/NetPeers.h"

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace vextral::test {

class EximServers {
public:
    static constexpr const char* kProgram = "/usr/sbin/exim4";
    static bool installed();

    explicit EximServers(int slowSeconds = 4);
    ~EximServers();
    EximServers(const EximServers&) = delete;
    EximServers& operator=(const EximServers&) = delete;

    // Both instances accept connections; when not, log() tells why.
    bool running() const;
    int port() const { return port_; }
    int tlsPort() const { return tlsPort_; }
    int relayPort() const { return relayPort_; } // the relay: plain SMTP, no STARTTLS, no login
    std::filesystem::path caFile() const { return dir_ / "ca.pem"; }

    // The messages delivered to the local Maildir (relayed: the relay's),
    // waiting up to limitSeconds until there are at least count.
    std::vector<std::filesystem::path> localMails(std::size_t count = 0, int limitSeconds = 20) const;
    std::vector<std::filesystem::path> relayedMails(std::size_t count = 0, int limitSeconds = 20) const;
    // The main and reject logs of both instances.
    std::string log() const;

private:
    std::vector<std::filesystem::path> mails(const std::string& instance, std::size_t count, int limitSeconds) const;

    TempDir dir_;
    int port_ = 0, tlsPort_ = 0, relayPort_ = 0;
    std::unique_ptr<ServerProgram> relay_, submission_;
};

} // namespace vextral::test
