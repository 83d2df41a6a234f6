#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/Error.h"
#include "net/MoxMsg.h"
#include "net/Pump.h"
#include "net/SmtpReply.h"

namespace vextral::net {

class TcpConnection;

// A message that was not sent. Its text is the message for the user ("Not
// connected.", "The mail was not sent: 550 No such user here"); reason()
// says what went wrong in the dialogue: the server's reply ("535 5.7.8
// Authentication failed") or a description ("Host mail.example.org not
// found."), empty when nothing was tried.
class SmtpError : public Error {
public:
    SmtpError(const std::string& message, std::string reason) : Error(message), reason_(std::move(reason)) {}
    const std::string& reason() const { return reason_; }

private:
    std::string reason_;
};

// How the connection to the server is protected.
enum class SmtpSecurity {
    None,     // plain TCP (with no user name: HELO, exactly the classic dialogue)
    StartTls, // plain TCP, then EHLO, STARTTLS, a verified TLS upgrade and EHLO again
    Tls,      // TLS from the first byte (usually port 465), then EHLO
};

// Sends composed mail messages to an SMTP server over one TCP connection,
// driven from the GUI thread: every wait (name lookup, connect, each reply,
// each send) lasts at most timeOut milliseconds - except the reply to the
// end of the message data, which may take ten minutes, as RFC 5321 allows
// a server that checks the message - and runs the pump between short polls,
// so a window keeps responding (and cancel() works), and a connection the
// server closes ends the wait at once.
//
// Use:
//     MoxSmtp smtp(pump);                 // pump: QCoreApplication::processEvents, or empty
//     smtp.host = "mail.example.org";
//     smtp.timeOut = 20000;
//     smtp.onSendProgress = [&](int percent) { ... };
//     smtp.connect();                     // never throws; see connected()
//     try {
//         smtp.sendMessage(msg);
//     } catch (const SmtpError& e) {      // "Not connected.", "The mail was not sent: ..."
//         show(e.what(), e.reason());     // the reason: the server's reply, or what went wrong
//     }
//     smtp.quit();                        // when the dialog closes / the program ends
//
// The dialogue: greeting 220; HELO (or EHLO when TLS or a login is asked for)
// 250; then for each of the To, CC and BCC lists that is not empty, one
// transaction: MAIL FROM:<sender> 250, RCPT TO:<address> 250 for each
// address, DATA 354, the composed text (every line followed by CR LF, sent
// in pieces of about 16 KiB with progress by bytes), CR LF "." CR LF 250,
// RSET 250. Reply codes must match exactly (251 is a failure).
//
// Failures reach the caller one way: sendMessage throws SmtpError. A
// connection that cannot be opened leaves the client disconnected with no
// onError; the next sendMessage throws "Not connected." with the reason
// ("Cannot connect to host:port."). Any other failure - a reply with the
// wrong code, no reply within timeOut, the server closing the connection, a
// reply line over 4 KiB, a TLS or login failure - runs the error handling:
// the connection is closed (onQuit), onError fires for listeners with the
// reply code (0 when there was no reply) and the reply text (or a
// description of what went wrong), and the step fails. A failed greeting or
// login leaves the client disconnected (so sendMessage throws "Not
// connected." with that reason); a failed transaction stops the send (later
// recipient lists are not tried) and sendMessage throws "The mail was not
// sent: " and the reason, without firing onAfterSend.
class MoxSmtp {
public:
    explicit MoxSmtp(Pump pump = {});
    ~MoxSmtp(); // closes the connection without QUIT (call quit() for a polite end)
    MoxSmtp(const MoxSmtp&) = delete;
    MoxSmtp& operator=(const MoxSmtp&) = delete;

    // --- Properties (read at connect() / sendMessage()) ---
    std::string port = "25";       // as text; 25 when it is not a number from 1 to 65535
    std::string host;              // server name or address; also completes a bare From name
    int encodeProgressStep = 10;   // percent between two onEncodeProgress calls
    int sendProgressStep = 10;     // percent between two onSendProgress calls
    std::uint32_t timeOut = 60000; // milliseconds, for every single wait (but see above)
    SmtpSecurity security = SmtpSecurity::None;
    std::string userName; // when set, logs in (AUTH PLAIN or LOGIN, as the server offers)
    std::string password;

    // --- Events (each may be empty) ---
    std::function<void()> onConnect;                                // the TCP connection is open
    std::function<void()> onQuit;                                   // the connection was closed
    std::function<void(int error, const std::string& msg)> onError; // see Failures above
    std::function<void()> onBeforeSend;                             // after composing, before the first transaction
    std::function<void()> onAfterSend;                              // every transaction succeeded
    std::function<void(const std::string& fileName, std::int64_t bytesCount)> onEncodeStart;
    std::function<void(int percent)> onEncodeProgress;
    std::function<void()> onEncodeEnd;
    std::function<void(int percent)> onSendProgress;                   // while the lines go out, and 100 at the end
    std::function<void()> onLookup;                                    // the host name is being resolved
    std::function<void()> onConnecting;                                // the connect starts
    std::function<void(const std::string& s)> onSendTextToSocket;      // every piece written
    std::function<void(const std::string& s)> onReceiveTextFromSocket; // every reply's last line

    // Opens the connection and greets the server (and upgrades and logs in as
    // security and userName ask). Never throws. A connection still open from
    // an earlier message (to the same server, port, security and user) is
    // checked with RSET and reused, or reopened when the server has closed it.
    void connect();

    // Sends one message: one transaction for each non-empty recipient list.
    // Throws SmtpError "Not connected." (no connection, with the reason the
    // last connect() failed), vextral::Error "\"From\" field not specified."
    // or "\"SendTo\" field not specified." before anything is sent, the
    // composer's file error when an attachment cannot be read, and SmtpError
    // "The mail was not sent: <reason>" when a transaction fails (onError has
    // fired). Returns when every transaction succeeded; the connection stays
    // open. The pump runs during the call: a second sendMessage from it
    // throws "A message is being sent."; a second connect() from it does
    // nothing. Do not destroy the client from the pump (deleteLater).
    void sendMessage(const MoxMsg& message);

    // Sends QUIT (waiting for its reply at most timeOut, and at most five
    // seconds) and closes the connection; nothing when not connected.
    // Called from the pump while connect() or sendMessage() waits, it ends
    // that wait at once (the step fails with "Cancelled.") and the
    // connection is closed, without QUIT, when the call returns.
    void quit();

    // Ends the wait under way at once, which fails the step with the error
    // "Cancelled."; for a Stop button or a dialog closing during a send,
    // called from the pump.
    void cancel();

    bool connected() const { return connected_; }
    const std::string& replyCode() const { return replyCode_; } // last reply's code
    const std::string& replyText() const { return replyText_; } // last reply's text (at most 64 characters)
    // The server's capabilities from its last EHLO reply (upper case, one
    // per line: "STARTTLS", "AUTH PLAIN LOGIN", ...); empty after HELO.
    const std::vector<std::string>& extensions() const { return extensions_; }

    // --- Address helpers ---
    // Four dot-separated decimal numbers from 0 to 255.
    static bool isIPAddress(const std::string& text);
    // Drops "(comments)", trims blanks, keeps what is between "<" and ">"
    // when both are present; brackets the result when bracket is set.
    static std::string cleanAddress(const std::string& text, bool bracket);
    // Splits a comma-separated recipient field into bare addresses in small
    // letters (quoted display names removed); empty pieces are kept, so a
    // field ending in "," gives an empty last address.
    static std::vector<std::string> parseAddressList(const std::string& text);

private:
    bool open();
    bool greet();
    bool startTls();
    bool hello(bool extended);
    bool login();
    bool sendText(std::string_view text, const std::string& shown = {});
    bool readReply(std::uint32_t limit);
    bool expect(const std::string& code, std::uint32_t limit = 0); // limit 0: timeOut
    bool command(const std::string& text, const std::string& code);
    int sendToList(const std::string& sender, const std::vector<std::string>& recipients, const std::string& text);
    void handleError();
    void fail(const std::string& description);
    void closeConnection();
    std::string localHostName() const;

    Pump pump_;
    std::unique_ptr<TcpConnection> socket_;
    SmtpReplyReader reader_;
    bool connected_ = false;
    bool failed_ = false;
    std::string replyCode_;
    std::string replyText_;
    // What went wrong last: the server's reply or a description; empty when
    // nothing has failed since connect(). The reason of the SmtpError thrown.
    std::string lastError_;
    std::vector<std::string> replyLines_;
    std::vector<std::string> extensions_;
    int sendPercent_ = 0;
    struct Busy;
    int busy_ = 0;
    bool quitRequested_ = false;
    bool cancelled_ = false;
    std::string openedWith_; // host, port, security and user of the open connection
};

} // namespace vextral::net
