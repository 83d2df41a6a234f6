#include "net/MoxSmtp.h"

#include "core/Error.h"
#include "core/Percent.h"
#include "net/Base64EncodingStream.h"
#include "net/MailCompose.h"
#include "net/MailHeaders.h"
#include "net/TcpConnection.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <ctime>
#include <unistd.h>

namespace vextral::net {

namespace {

using Status = TcpConnection::Status;
using std::chrono::milliseconds;

constexpr std::uint32_t quitLimit = 5000;
constexpr std::uint32_t kFinalReplyLimit = 10 * 60 * 1000;

// Blanks and control characters, as the address rules trim them.
std::string trimmed(const std::string& text)
{
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && static_cast<unsigned char>(text[begin]) <= ' ') ++begin;
    while (end > begin && static_cast<unsigned char>(text[end - 1]) <= ' ') --end;
    return text.substr(begin, end - begin);
}

std::string lowered(std::string text)
{
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::string uppered(std::string text)
{
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

int portNumber(const std::string& text)
{
    const std::string digits = trimmed(text);
    if (digits.empty() || digits.size() > 5 || !std::all_of(digits.begin(), digits.end(), ::isdigit)) return 25;
    const int port = std::stoi(digits);
    return port >= 1 && port <= 65535 ? port : 25;
}

int codeNumber(const std::string& code)
{
    if (code.empty() || !std::all_of(code.begin(), code.end(), ::isdigit)) return 0;
    return std::stoi(code);
}

std::string notSent(const std::string& reason) { return "The mail was not sent: " + reason; }

std::string base64Line(const std::string& data)
{
    std::string text = base64Encode(data);
    std::erase(text, '\r');
    std::erase(text, '\n');
    return text;
}

} // namespace

MoxSmtp::MoxSmtp(Pump pump) : pump_(pump), socket_(std::make_unique<TcpConnection>(std::move(pump))) {}

MoxSmtp::~MoxSmtp() = default;

// --- Connection ---------------------------------------------------------

// Marks a connect or a send under way; a quit asked for meanwhile (from the
// pump) closes the connection once it has ended.
struct MoxSmtp::Busy {
    MoxSmtp& smtp;
    explicit Busy(MoxSmtp& owner) : smtp(owner) { ++smtp.busy_; }
    ~Busy()
    {
        if (--smtp.busy_ == 0 && smtp.quitRequested_) {
            smtp.quitRequested_ = false;
            smtp.closeConnection();
        }
    }
};

void MoxSmtp::connect()
{
    if (busy_) return; // called again from the pump: the first call goes on
    Busy busy(*this);
    const std::string target = host + '\n' + std::to_string(portNumber(port)) + '\n' +
                               std::to_string(static_cast<int>(security)) + '\n' + userName + '\n' + password;
    cancelled_ = false;
    if (connected_ && socket_->isOpen() && target != openedWith_) closeConnection();
    if (connected_ && socket_->isOpen()) {
        // The connection of an earlier message: keep it when the server
        // still answers, else start afresh (quietly: it merely timed out).
        failed_ = false;
        if (sendText("RSET\r\n") && readReply(timeOut) && replyCode_ == "250") {
            lastError_.clear();
            return;
        }
        closeConnection();
        if (quitRequested_) return;
    }
    failed_ = false;
    lastError_.clear();
    replyCode_.clear();
    replyText_.clear();
    replyLines_.clear();
    extensions_.clear();
    if (!open()) {
        failed_ = true;
        return;
    }
    if (greet()) openedWith_ = target;
}

bool MoxSmtp::open()
{
    const int number = portNumber(port);
    if (!isIPAddress(host) && onLookup) onLookup();
    if (onConnecting) onConnecting();
    reader_.clear();
    const std::string where = host + ":" + std::to_string(number);
    const Status status = socket_->connect(host, number, milliseconds(timeOut));
    if (status != Status::Ok && cancelled_) {
        lastError_ = "Cancelled.";
        return false;
    }
    switch (status) {
    case Status::Ok: break;
    case Status::LookupFailed: lastError_ = "Host " + host + " not found."; return false;
    case Status::LookupTimedOut: lastError_ = "Host lookup of " + host + " timed out."; return false;
    case Status::ConnectTimedOut: lastError_ = "Connection to " + where + " timed out."; return false;
    default: lastError_ = "Cannot connect to " + where + "."; return false;
    }
    connected_ = true;
    if (onConnect) onConnect();
    return true;
}

bool MoxSmtp::startTls()
{
    const Status status = socket_->startTls(host, milliseconds(timeOut));
    if (status == Status::Ok) return true;
    if (cancelled_)
        fail("Cancelled.");
    else if (status == Status::TlsFailed)
        fail("TLS failed: " + socket_->tlsError());
    else
        fail("TLS failed: the server did not complete the handshake.");
    return false;
}

bool MoxSmtp::greet()
{
    if (security == SmtpSecurity::Tls && !startTls()) return false;
    const bool extended = security != SmtpSecurity::None || !userName.empty();
    if (!expect("220") || !hello(extended)) {
        handleError();
        return false;
    }
    if (security == SmtpSecurity::StartTls) {
        if (std::find(extensions_.begin(), extensions_.end(), "STARTTLS") == extensions_.end()) {
            fail("The server does not offer STARTTLS.");
            return false;
        }
        if (!command("STARTTLS\r\n", "220")) {
            handleError();
            return false;
        }
        reader_.clear(); // nothing sent before the upgrade may count after it
        if (!startTls()) return false;
        if (!hello(true)) {
            handleError();
            return false;
        }
    }
    if (!userName.empty() && !login()) {
        handleError();
        return false;
    }
    return true;
}

bool MoxSmtp::hello(bool extended)
{
    std::string name = localHostName();
    if (name.empty()) name = "localhost";
    if (!extended) return command("HELO " + name + "\r\n", "250");
    if (!command("EHLO " + name + "\r\n", "250")) return false;
    extensions_.clear();
    for (std::size_t i = 1; i < replyLines_.size(); ++i) {
        const std::string& line = replyLines_[i];
        if (line.size() > 4) extensions_.push_back(uppered(trimmed(line.substr(4))));
    }
    return true;
}

bool MoxSmtp::login()
{
    std::string mechanisms;
    for (const std::string& extension : extensions_) {
        if (extension.rfind("AUTH ", 0) == 0 || extension.rfind("AUTH=", 0) == 0)
            mechanisms += " " + extension.substr(5) + " ";
    }
    if (mechanisms.find(" PLAIN ") != std::string::npos) {
        const std::string token = base64Line(std::string(1, '\0') + userName + std::string(1, '\0') + password);
        return sendText("AUTH PLAIN " + token + "\r\n", "AUTH PLAIN ****\r\n") && expect("235");
    }
    if (mechanisms.find(" LOGIN ") != std::string::npos) {
        return command("AUTH LOGIN\r\n", "334") && sendText(base64Line(userName) + "\r\n") && expect("334") &&
               sendText(base64Line(password) + "\r\n", "****\r\n") && expect("235");
    }
    failed_ = true;
    replyCode_.clear();
    replyText_.clear();
    lastError_ = "The server offers no login by AUTH PLAIN or LOGIN.";
    return false;
}

void MoxSmtp::quit()
{
    if (busy_) {
        // From the pump, during a connect or a send: end its wait now and
        // close when it returns (no QUIT in the middle of a transaction).
        quitRequested_ = true;
        cancel();
        return;
    }
    if (connected_ && socket_->isOpen() && sendText("QUIT\r\n")) readReply(std::min(timeOut, quitLimit));
    closeConnection();
}

void MoxSmtp::cancel()
{
    cancelled_ = true;
    socket_->cancel();
}

void MoxSmtp::closeConnection()
{
    socket_->close();
    reader_.clear();
    if (connected_) {
        connected_ = false;
        if (onQuit) onQuit();
    }
}

std::string MoxSmtp::localHostName() const
{
    if (!socket_->isOpen()) return {};
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) != 0) return {};
    return name;
}

// --- Dialogue -----------------------------------------------------------

bool MoxSmtp::sendText(std::string_view text, const std::string& shown)
{
    if (pump_) pump_();
    const Status status = socket_->send(text, milliseconds(timeOut));
    if (status != Status::Ok) {
        failed_ = true;
        replyCode_.clear();
        replyText_.clear();
        if (status == Status::TimedOut && cancelled_)
            lastError_ = "Cancelled.";
        else if (status == Status::TimedOut)
            lastError_ = "The server took no data within " + std::to_string(timeOut / 1000) + " seconds.";
        else if (status == Status::Closed)
            lastError_ = "The server closed the connection.";
        else
            lastError_ = "Cannot write to the connection.";
        return false;
    }
    if (onSendTextToSocket) onSendTextToSocket(shown.empty() ? std::string(text) : shown);
    return true;
}

bool MoxSmtp::readReply(std::uint32_t limit)
{
    const auto deadline = std::chrono::steady_clock::now() + milliseconds(limit);
    SmtpReply reply;
    for (;;) {
        if (pump_) pump_();
        const auto left = std::chrono::duration_cast<milliseconds>(deadline - std::chrono::steady_clock::now());
        std::string chunk;
        const Status status = left.count() > 0 ? socket_->receive(chunk, 1024, left) : Status::TimedOut;
        SmtpReplyReader::Status read = SmtpReplyReader::Status::Incomplete;
        if (status == Status::Ok) read = reader_.feed(chunk, reply);
        if (status == Status::Ok && read == SmtpReplyReader::Status::Complete) break;
        if (status == Status::Ok && read == SmtpReplyReader::Status::Incomplete) continue;
        failed_ = true;
        replyCode_.clear();
        replyText_.clear();
        if (read == SmtpReplyReader::Status::TooLong)
            lastError_ = "The server's reply is too long.";
        else if (status == Status::TimedOut && cancelled_)
            lastError_ = "Cancelled.";
        else if (status == Status::TimedOut)
            lastError_ = "The server did not answer within " + std::to_string(limit / 1000) + " seconds.";
        else if (status == Status::Closed)
            lastError_ = "The server closed the connection.";
        else
            lastError_ = "Cannot read from the connection.";
        return false;
    }
    if (pump_) pump_();
    replyCode_ = reply.code;
    replyText_ = reply.text;
    replyLines_ = std::move(reply.lines);
    if (onReceiveTextFromSocket) onReceiveTextFromSocket(reply.line);
    return true;
}

bool MoxSmtp::expect(const std::string& code, std::uint32_t limit)
{
    if (failed_ || !readReply(limit == 0 ? timeOut : limit)) return false;
    if (replyCode_ == code) return true;
    failed_ = true;
    lastError_ = replyLines_.empty() ? replyCode_ : trimmed(replyLines_.back());
    return false;
}

bool MoxSmtp::command(const std::string& text, const std::string& code)
{
    return !failed_ && sendText(text) && expect(code);
}

void MoxSmtp::fail(const std::string& description)
{
    failed_ = true;
    replyCode_.clear();
    replyText_.clear();
    lastError_ = description;
    handleError();
}

void MoxSmtp::handleError()
{
    failed_ = true;
    closeConnection();
    if (onError) onError(codeNumber(replyCode_), replyCode_.empty() ? lastError_ : replyText_);
}

// --- Sending ------------------------------------------------------------

void MoxSmtp::sendMessage(const MoxMsg& message)
{
    if (busy_) throw Error("A message is being sent.");
    Busy busy(*this);
    if (!connected_) throw SmtpError("Not connected.", lastError_);
    if (message.from.empty()) throw Error("\"From\" field not specified.");
    if (message.sendTo.empty()) throw Error("\"SendTo\" field not specified.");
    cancelled_ = false;

    MoxMsg dated = message;
    dated.date = formatMailDate(std::time(nullptr));
    ComposeEvents events;
    events.onEncodeStart = onEncodeStart;
    events.onEncodeProgress = onEncodeProgress;
    events.onEncodeEnd = onEncodeEnd;
    events.pump = pump_;
    events.encodeProgressStep = encodeProgressStep;
    const std::string text = composeMessageText(dated, host, localHostName(), events);
    if (quitRequested_) {
        lastError_ = "Cancelled.";
        throw SmtpError(notSent(lastError_), lastError_);
    }
    if (onBeforeSend) onBeforeSend();

    // A text put into a command carries no line break of its own: one would
    // end the line early and let the rest pass for a command.
    const std::string sender = oneLine(cleanAddress(message.from, false));
    sendPercent_ = 0;
    for (const std::string* field : {&message.sendTo, &message.cc, &message.bcc}) {
        std::vector<std::string> recipients = parseAddressList(*field);
        for (std::string& address : recipients) address = oneLine(std::move(address));
        if (sendToList(sender, recipients, text) <= 0) {
            handleError();
            throw SmtpError(notSent(lastError_), lastError_);
        }
    }
    if (sendPercent_ < 100 && onSendProgress) onSendProgress(100);
    if (onAfterSend) onAfterSend();
}

int MoxSmtp::sendToList(const std::string& sender, const std::vector<std::string>& recipients, const std::string& text)
{
    if (recipients.empty()) return 1;
    if (!command("MAIL FROM:<" + sender + ">\r\n", "250")) return -1;
    for (const std::string& address : recipients) {
        if (!command("RCPT TO:<" + address + ">\r\n", "250")) return -2;
    }
    if (!command("DATA\r\n", "354")) return -3;
    // The text goes out in pieces of whole lines, about 16 KiB each, with
    // progress by the bytes sent.
    constexpr std::size_t kPiece = 16 * 1024;
    int threshold = sendProgressStep;
    for (std::size_t at = 0; at < text.size();) {
        std::size_t stop = std::min(text.size(), at + kPiece);
        if (stop < text.size()) {
            const std::size_t lineEnd = text.rfind('\n', stop - 1);
            stop = lineEnd != std::string::npos && lineEnd >= at ? lineEnd + 1 : stop;
        }
        if (!sendText(std::string_view(text).substr(at, stop - at))) return -6;
        at = stop;
        sendPercent_ = percent(static_cast<long long>(at), static_cast<long long>(text.size()));
        if (sendPercent_ >= threshold) {
            if (onSendProgress) onSendProgress(sendPercent_);
            while (threshold <= sendPercent_) threshold += sendProgressStep;
        }
    }
    // The server may check the whole message before it answers: its reply
    // gets the ten minutes RFC 5321 allows, however short timeOut is.
    if (failed_ || !sendText("\r\n.\r\n") || !expect("250", std::max(timeOut, kFinalReplyLimit))) return -4;
    if (!command("RSET\r\n", "250")) return -5;
    if (onSendProgress) onSendProgress(100);
    return 1;
}

// --- Addresses ----------------------------------------------------------

bool MoxSmtp::isIPAddress(const std::string& text)
{
    int parts = 0;
    std::size_t start = 0;
    for (;;) {
        const std::size_t dot = text.find('.', start);
        const std::string part = text.substr(start, dot == std::string::npos ? std::string::npos : dot - start);
        if (part.empty() || !std::all_of(part.begin(), part.end(), ::isdigit)) return false;
        const std::size_t digits = part.find_first_not_of('0');
        if (digits != std::string::npos && (part.size() - digits > 3 || std::stoi(part.substr(digits)) > 255))
            return false;
        ++parts;
        if (dot == std::string::npos) break;
        start = dot + 1;
    }
    return parts == 4;
}

std::string MoxSmtp::cleanAddress(const std::string& text, bool bracket)
{
    std::string address = text;
    for (;;) {
        const std::size_t open = address.find('(');
        const std::size_t close = open == std::string::npos ? open : address.find(')', open);
        if (close == std::string::npos) break;
        address.erase(open, close - open + 1);
    }
    address = trimmed(address);
    const std::size_t open = address.find('<');
    const std::size_t close = open == std::string::npos ? open : address.find('>', open);
    if (close != std::string::npos) address = address.substr(open + 1, close - open - 1);
    return bracket ? "<" + address + ">" : address;
}

std::vector<std::string> MoxSmtp::parseAddressList(const std::string& text)
{
    std::string field = trimmed(text);
    std::vector<std::string> addresses;
    if (field.empty()) return addresses;
    for (;;) {
        const std::size_t first = field.find('"');
        if (first == std::string::npos) break;
        field.erase(first, 1);
        const std::size_t second = field.find('"', first);
        if (second == std::string::npos) break;
        field.erase(first, second - first + 1);
    }
    field = lowered(field);
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = field.find(',', start);
        addresses.push_back(
            cleanAddress(field.substr(start, comma == std::string::npos ? comma : comma - start), false));
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    return addresses;
}

} // namespace vextral::net
