#include "net/HttpClient.h"

#include "core/Error.h"
#include "core/Text.h"
#include "net/TcpConnection.h"

#include <algorithm>

namespace vextral::net {

namespace {

using Clock = std::chrono::steady_clock;

bool isBlank(char c) { return c == ' ' || c == '\t'; }

bool hasControlOrBlank(std::string_view text)
{
    return std::any_of(text.begin(), text.end(), [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return u <= 0x20 || u == 0x7F;
    });
}

std::string_view trimBlanks(std::string_view text)
{
    while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
    return text;
}

// The blank-separated word at index (0-based) of line; empty when there is none.
std::string_view word(std::string_view line, int index)
{
    std::size_t i = 0;
    for (int w = 0;; ++w) {
        while (i < line.size() && isBlank(line[i])) ++i;
        const std::size_t start = i;
        while (i < line.size() && !isBlank(line[i])) ++i;
        if (start == i) return {};
        if (w == index) return line.substr(start, i - start);
    }
}

// A status code: decimal digits only, else 0.
int statusNumber(std::string_view text)
{
    if (text.empty() || text.size() > 9) return 0;
    int n = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return 0;
        n = n * 10 + (c - '0');
    }
    return n;
}

[[noreturn]] void badUrl(const std::string& url) { throw Error("Bad URL: \"" + url + "\""); }

std::chrono::milliseconds remaining(Clock::time_point deadline)
{
    return std::max(std::chrono::milliseconds(0),
                    std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()));
}

} // namespace

std::string HttpUrl::authority() const { return port == 80 ? host : host + ":" + std::to_string(port); }

std::string HttpUrl::text() const { return "http://" + authority() + path; }

HttpUrl splitUrl(const std::string& url)
{
    const std::size_t colon = url.find("://");
    if (colon == std::string::npos) badUrl(url);
    const std::string scheme = lowerAscii(url.substr(0, colon));
    if (scheme == "https") throw Error("HTTP Secure Socket is not supported");
    if (scheme != "http" || hasControlOrBlank(url)) badUrl(url);

    const std::size_t start = colon + 3;
    const std::size_t end = std::min(url.find_first_of("/?#", start), url.size());
    std::string authority = url.substr(start, end - start);
    HttpUrl parts;
    std::string path = url.substr(end);
    path = path.substr(0, path.find('#'));
    if (path.empty() || path.front() != '/') path.insert(0, "/");
    parts.path = path;

    if (const std::size_t sep = authority.rfind(':'); sep != std::string::npos) {
        const std::string port = authority.substr(sep + 1);
        authority.resize(sep);
        if (!port.empty()) {
            if (port.size() > 5 || !std::all_of(port.begin(), port.end(), [](char c) { return c >= '0' && c <= '9'; }))
                badUrl(url);
            parts.port = std::stoi(port);
            if (parts.port < 1 || parts.port > 65535) badUrl(url);
        }
    }
    if (authority.empty()) badUrl(url);
    parts.host = authority;
    return parts;
}

std::string redirectTarget(const HttpUrl& from, const std::string& target)
{
    if (target.find('/') == std::string::npos) return "http://" + from.authority() + "/" + target;
    if (target.starts_with("//")) return "http:" + target;
    if (target.starts_with('/')) return "http://" + from.authority() + target;
    return target;
}

std::string buildRequest(const HttpUrl& url, bool viaProxy, const std::string& cookie)
{
    std::string r = "GET " + (viaProxy ? url.text() : url.path) + " HTTP/1.0\r\n";
    r += "Host: " + url.authority() + "\r\n";
    r += "Connection: close\r\n";
    r += "Accept: www/source, text/html, video/mpeg, image/jpeg, image/x-tiff\r\n";
    r += "Accept: image/x-rgb, image/x-xbm, image/gif, */*, application/postscript\r\n";
    if (!cookie.empty()) r += "Cookie: " + cookie + "\r\n";
    r += "Content-type: application/x-www-form-urlencoded\r\n";
    r += "\r\n";
    return r;
}

std::size_t ResponseHeaderReader::feed(std::string_view bytes)
{
    const char* const tooLong = "The server sent a header line longer than 8 KiB";
    std::size_t used = 0;
    while (!complete_ && problem_.empty() && used < bytes.size()) {
        const std::size_t lf = bytes.find('\n', used);
        const bool ended = lf != std::string_view::npos;
        const std::size_t take = (ended ? lf + 1 : bytes.size()) - used;
        // Checked before the bytes are kept: the reader never holds more than its limits.
        if (text_.size() - lineStart_ + take > limits_.httpHeaderLine + 2) { // the line, its CR and its LF
            problem_ = tooLong;
            break;
        }
        if (text_.size() + take > limits_.httpHeaderBytes) {
            problem_ = "The server sent a header longer than 1 MiB";
            break;
        }
        text_.append(bytes.substr(used, take));
        used += take;
        std::string_view line(text_.data() + lineStart_, text_.size() - lineStart_ - (ended ? 1 : 0));
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.size() > limits_.httpHeaderLine) {
            problem_ = tooLong;
            break;
        }
        if (!ended) break;
        takeLine(line);
        lineStart_ = text_.size();
    }
    return used;
}

void ResponseHeaderReader::takeLine(std::string_view line)
{
    if (line.empty()) {
        complete_ = true;
    } else if (lines_ == 0) {
        status_ = statusNumber(word(line, 1));
        const std::string_view code = word(line, 1);
        if (!code.empty()) {
            const std::size_t at = line.find(code) + code.size();
            reason_ = std::string(trimBlanks(line.substr(at)).substr(0, 256));
        }
    } else {
        const std::string name = upperAscii(std::string(word(line, 0)));
        if (name == "LOCATION:") {
            location_ =
                std::string(trimBlanks(line.substr(std::min<std::size_t>(10, line.size()), limits_.httpLocation)));
        } else if (name == "CONTENT-LENGTH:") {
            const std::string_view value = trimBlanks(line.substr(std::min<std::size_t>(15, line.size())));
            std::uint64_t n = 0;
            bool ok = !value.empty() && value.size() <= 18;
            for (char c : value) {
                if (c < '0' || c > '9')
                    ok = false;
                else
                    n = n * 10 + static_cast<unsigned>(c - '0');
            }
            if (!ok || (contentLength_ && *contentLength_ != n))
                problem_ = "The server sent a bad Content-Length";
            else
                contentLength_ = n;
        } else if (name == "TRANSFER-ENCODING:") {
            const std::string value = lowerAscii(std::string(line.substr(std::min<std::size_t>(18, line.size()))));
            if (value.find("chunked") != std::string::npos) chunked_ = true;
        } else if (name == "SET-COOKIE:") {
            const std::string_view value = trimBlanks(line.substr(std::min<std::size_t>(12, line.size())));
            // A cookie goes back into a request line by line: never one that could break it.
            if (std::none_of(value.begin(), value.end(), [](char c) {
                    const auto u = static_cast<unsigned char>(c);
                    return u < 0x20 || u == 0x7F;
                }))
                cookie_ = std::string(value);
        }
    }
    ++lines_;
}

bool ChunkedDecoder::takeSizeLine(std::string_view line)
{
    line = trimBlanks(line.substr(0, line.find(';')));
    if (line.empty() || line.size() > 15) return false;
    std::uint64_t n = 0;
    for (char c : line) {
        int digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else
            return false;
        n = n * 16 + static_cast<unsigned>(digit);
    }
    left_ = n;
    return true;
}

void ChunkedDecoder::feed(std::string_view bytes, std::string& out)
{
    constexpr std::size_t kMaxLine = 1024;
    while (!bytes.empty() && problem_.empty() && state_ != State::Done) {
        if (state_ == State::Data) {
            const auto take = static_cast<std::size_t>(std::min<std::uint64_t>(left_, bytes.size()));
            out.append(bytes.substr(0, take));
            bytes.remove_prefix(take);
            left_ -= take;
            if (left_ == 0) state_ = State::DataEnd;
            continue;
        }
        // Size, DataEnd and Trailer read a line.
        const std::size_t lf = bytes.find('\n');
        const std::size_t take = lf == std::string_view::npos ? bytes.size() : lf + 1;
        if (line_.size() + take > kMaxLine) {
            problem_ = "The server sent a malformed chunk";
            break;
        }
        line_.append(bytes.substr(0, take));
        bytes.remove_prefix(take);
        if (lf == std::string_view::npos) break;
        std::string_view line(line_);
        line.remove_suffix(1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (state_ == State::DataEnd) {
            if (!line.empty()) problem_ = "The server sent a malformed chunk";
            state_ = State::Size;
        } else if (state_ == State::Size) {
            if (!takeSizeLine(line)) {
                problem_ = "The server sent a malformed chunk";
            } else if (left_ > maxBody_ || total_ + left_ > maxBody_) {
                problem_ = "The server sent more than 1 MiB";
            } else {
                total_ += left_;
                state_ = left_ == 0 ? State::Trailer : State::Data;
            }
        } else if (line.empty()) {
            state_ = State::Done;
        }
        line_.clear();
    }
}

void HttpClient::cancel()
{
    cancelled_ = true;
    if (current_) current_->cancel();
}

HttpResponse HttpClient::get(const std::string& url)
{
    cancelled_ = false;
    HttpUrl parts = splitUrl(url);
    for (int redirects = 0;; ++redirects) {
        HttpResponse response = fetch(parts);
        const int s = response.status;
        if (!(s >= 300 && s <= 303) && s != 307 && s != 308) return response;
        // A redirect that names no target ends the fetch like any other status.
        if (!response.location) return response;
        if (response.cookie) cookie_ = *response.cookie;
        if (redirects == kMaxRedirects) throw Error("Too many redirects.");
        parts = splitUrl(redirectTarget(parts, *response.location));
    }
}

HttpResponse HttpClient::fetch(const HttpUrl& url)
{
    if (cancelled_) throw Error("Connection Failed");
    TcpConnection connection(pump_);
    current_ = &connection;
    struct Forget {
        TcpConnection*& current;
        ~Forget() { current = nullptr; }
    } forget {current_};

    const bool viaProxy = !proxyHost.empty();
    switch (connection.connect(viaProxy ? proxyHost : url.host, viaProxy ? proxyPort : url.port, timeLimit)) {
    case TcpConnection::Status::Ok: break;
    case TcpConnection::Status::LookupFailed: throw Error("Host Lookup Failed");
    case TcpConnection::Status::LookupTimedOut: throw Error("Host Lookup Timed Out");
    case TcpConnection::Status::ConnectTimedOut: throw Error("Connection Timed out");
    default: throw Error("Connection Failed");
    }
    if (connection.send(buildRequest(url, viaProxy, cookie_), timeLimit) != TcpConnection::Status::Ok)
        throw Error("Socket send aborted");

    HttpResponse response;
    response.url = url.text();
    ResponseHeaderReader header(limits);
    std::string piece;
    auto deadline = Clock::now() + timeLimit;
    while (!header.complete()) {
        piece.clear();
        const auto status = connection.receive(piece, 4096, remaining(deadline));
        if (status == TcpConnection::Status::TimedOut) throw Error("Socket readln aborted");
        if (status == TcpConnection::Status::Closed) {
            if (header.text().empty()) throw Error("The server closed the connection without an answer");
            break; // a header cut short: whatever came is the response
        }
        if (status != TcpConnection::Status::Ok) throw Error("Connection lost while reading the answer");
        const std::size_t linesBefore = header.lines();
        const std::size_t used = header.feed(piece);
        if (!header.problem().empty()) throw Error(header.problem());
        response.body.append(piece, used, std::string::npos);
        if (header.lines() != linesBefore) deadline = Clock::now() + timeLimit; // a new line, a new wait
    }
    response.status = header.status();
    response.reason = header.reason();
    response.header = header.text();
    response.location = header.location();
    response.cookie = header.cookie();

    const auto receiveMore = [&](std::string& into, std::size_t max) {
        const auto status = connection.receive(into, max, timeLimit);
        if (status == TcpConnection::Status::TimedOut) throw Error("Socket capture aborted");
        if (status != TcpConnection::Status::Ok && status != TcpConnection::Status::Closed)
            throw Error("Connection lost while reading the answer");
        return status == TcpConnection::Status::Ok;
    };
    const char* const tooBig = "The server sent more than 1 MiB";
    const char* const cutShort = "The server closed the connection before the whole answer arrived";
    if (!header.complete()) {
        // A header cut short: whatever came is the response.
    } else if (header.chunked()) {
        ChunkedDecoder decoder(limits.httpBodyBytes);
        std::string raw;
        raw.swap(response.body);
        for (;;) {
            decoder.feed(raw, response.body);
            if (!decoder.problem().empty()) throw Error(decoder.problem());
            if (decoder.complete()) break;
            raw.clear();
            if (!receiveMore(raw, 4096)) throw Error(cutShort);
        }
    } else if (header.contentLength()) {
        const std::uint64_t length = *header.contentLength();
        if (length > limits.httpBodyBytes) throw Error(tooBig);
        const auto want = static_cast<std::size_t>(length);
        while (response.body.size() < want)
            if (!receiveMore(response.body, want - response.body.size())) throw Error(cutShort);
        response.body.resize(want); // bytes beyond the length belong to no answer
    } else {
        for (;;) {
            if (response.body.size() > limits.httpBodyBytes) throw Error(tooBig);
            if (!receiveMore(response.body, limits.httpBodyBytes + 1 - response.body.size())) break;
        }
    }
    connection.close();
    return response;
}

} // namespace vextral::net
