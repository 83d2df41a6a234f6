#pragma once

// The SMTP server of the mail tests, engine and GUI (Debian's aiosmtpd, run
// by smtp_test_server.py), a recorder of a client's events, and what a send
// that fails throws.

#include "TestSupport.h"
#include "support/NetPeers.h"

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace vextral::net {
class MoxSmtp;
struct MoxMsg;
} // namespace vextral::net

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
    // Extra arguments of smtp_test_server.py (--tls-mode, --cert, --login,
    // --reject, --only-login).
    explicit SmtpTestServer(const std::vector<std::string>& arguments = {});
    bool running() const { return server_->running(); }
    int port() const { return server_->port(); }
    // The n-th accepted transaction (from 1), waiting up to three seconds for
    // it; an empty record when it does not come.
    MailRecord mail(int n) const;
    // Transactions accepted so far.
    int mailCount() const;
    // The messages accepted and not removed since, as files of their own
    // (mail-N.eml), in the order they came.
    std::vector<std::filesystem::path> messageFiles() const;
    // Every login tried, one "USER PASSWORD" line each (with --login).
    std::string logins() const;

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

// What sendMessage threw: its text and, for an SmtpError, its reason; both
// empty when it sent the message.
struct SendFailure {
    std::string message;
    std::string reason;
};
SendFailure sendFailure(net::MoxSmtp& smtp, const net::MoxMsg& message);

} // namespace vextral::test
