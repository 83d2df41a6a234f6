#pragma once

// The SMTP server of the mail tests (Debian's aiosmtpd, run by
// smtp_test_server.py) and a recorder of a client's events.

#include "TestSupport.h"
#include "engine/net/TcpTestPeers.h"

#include <memory>
#include <string>
#include <vector>

namespace vextral::net {
class MoxSmtp;
}

namespace vextral::test {

// One transaction the server accepted.
struct MailRecord {
    std::string helo;            // the name the client greeted with
    bool ehlo = false;           // EHLO rather than HELO
    bool tls = false;            // the transaction ran over TLS
    std::string login;           // the user logged in; empty when none
    std::string from;            // MAIL FROM
    std::vector<std::string> to; // RCPT TO, in order
    std::string data;            // the message as received (dots unstuffed)
};

class SmtpTestServer {
public:
    // Extra arguments of smtp_test_server.py (--tls-mode, --cert, --login, --reject).
    explicit SmtpTestServer(const std::vector<std::string>& arguments = {});
    bool running() const { return server_->running(); }
    int port() const { return server_->port(); }
    // The n-th accepted transaction (from 1), waiting up to three seconds for
    // it; an empty record when it does not come.
    MailRecord mail(int n) const;
    // Transactions accepted so far.
    int mailCount() const;

private:
    TempDir dir_;
    std::unique_ptr<PythonServer> server_;
};

// Records what a client reports.
struct SmtpEvents {
    explicit SmtpEvents(net::MoxSmtp& smtp);
    int connects = 0;
    int quits = 0;
    int afterSends = 0;
    std::vector<std::string> errors; // "code text"
    std::vector<int> progress;
    std::vector<std::string> sent;
    std::vector<std::string> received;
};

} // namespace vextral::test
