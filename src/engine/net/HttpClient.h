#pragma once

#include "core/ReaderLimits.h"
#include "net/Pump.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vextral::net {

class TcpConnection;

// The parts of an "http://host[:port][/path]" address.
struct HttpUrl {
    std::string host; // a name or a dotted address
    int port = 80;
    std::string path = "/"; // from the first "/" after the host, without a fragment

    // The host, followed by ":port" when the port is not 80.
    std::string authority() const;
    // "http://" + authority() + path: the address as a proxy is asked for it.
    std::string text() const;
};

// Splits an address. Raises "HTTP Secure Socket is not supported" for https,
// and a "Bad URL" error for other schemes, a missing host, a port that is no
// port, and blanks or control characters anywhere (they would break the
// request line).
HttpUrl splitUrl(const std::string& url);

// The address a redirect goes to: target when it is a whole address; a
// target without any "/" is a name on the same server ("http://" + host +
// "/" + target), one beginning with "/" a path on the same server, one
// beginning with "//" a server and path over http.
std::string redirectTarget(const HttpUrl& from, const std::string& target);

// The HTTP/1.0 GET request for url, each line ended by CR LF, closed by an
// empty line, with "Connection: close" (a server or proxy that keeps the
// connection open would otherwise leave the reader waiting). Through a proxy
// the request line carries the whole address; a non-empty cookie is sent back
// in a "Cookie" line.
std::string buildRequest(const HttpUrl& url, bool viaProxy, const std::string& cookie);

// Reads a response header from the bytes that arrive, in pieces of any size,
// up to its first empty line: the status code (the second word of the first
// line as a number, 0 when it is none), the redirect target of a "Location:"
// line and the cookie of a "Set-Cookie:" line (names in any letter case).
// Lines end with LF or CR LF. A line longer than limits.httpHeaderLine or a
// header longer than limits.httpHeaderBytes is refused (problem()): a server cannot
// fill the memory. A Location is kept up to limits.httpLocation characters.
class ResponseHeaderReader {
public:
    explicit ResponseHeaderReader(const ReaderLimits& limits = {}) : limits_(limits) {}

    // Takes bytes and returns how many of them belong to the header; those
    // after the empty line are the body's. Takes nothing once complete, or
    // once the header broke a limit (then problem() says which).
    std::size_t feed(std::string_view bytes);
    bool complete() const { return complete_; }
    // Why the header was refused ("The server sent a header line longer than
    // 8 KiB", ...); empty while it is within its limits.
    const std::string& problem() const { return problem_; }
    // Lines read whole so far (the empty line that ends the header counts).
    std::size_t lines() const { return lines_; }

    int status() const { return status_; }
    // The words of the status line after the code ("Not Found"), at most 256 characters.
    const std::string& reason() const { return reason_; }
    // The body length a "Content-Length:" line gives (a bad one is a problem()).
    const std::optional<std::uint64_t>& contentLength() const { return contentLength_; }
    // Whether "Transfer-Encoding:" names chunked.
    bool chunked() const { return chunked_; }
    const std::optional<std::string>& location() const { return location_; }
    const std::optional<std::string>& cookie() const { return cookie_; }
    // The header as received, line ends included.
    const std::string& text() const { return text_; }

private:
    void takeLine(std::string_view line);

    ReaderLimits limits_;
    std::string text_;
    std::size_t lineStart_ = 0; // where the line being read begins in text_
    std::size_t lines_ = 0;
    bool complete_ = false;
    std::string problem_;
    int status_ = 0;
    std::string reason_;
    std::optional<std::uint64_t> contentLength_;
    bool chunked_ = false;
    std::optional<std::string> location_;
    std::optional<std::string> cookie_;
};

// Decodes a body sent in chunked transfer coding, from pieces of any size:
// each chunk is a hexadecimal size line (extensions after ";" ignored), the
// data and CR LF; a size of 0 ends the data, trailer lines and an empty line
// end the body. A size line longer than 1 KiB, a size that is no number or
// more than maxBody in all, or data not followed by its line end is refused
// (problem()).
class ChunkedDecoder {
public:
    explicit ChunkedDecoder(std::size_t maxBody) : maxBody_(maxBody) {}
    // Appends the decoded data of bytes to out.
    void feed(std::string_view bytes, std::string& out);
    bool complete() const { return state_ == State::Done; }
    const std::string& problem() const { return problem_; }

private:
    enum class State { Size, Data, DataEnd, Trailer, Done };
    bool takeSizeLine(std::string_view line);

    std::size_t maxBody_;
    State state_ = State::Size;
    std::string line_;
    std::uint64_t left_ = 0; // data bytes of the current chunk still to come
    std::uint64_t total_ = 0;
    std::string problem_;
};

struct HttpResponse {
    int status = 0;
    std::string reason;
    std::string header;
    std::string body;
    std::string url; // the address the response came from, after redirects
    std::optional<std::string> location;
    std::optional<std::string> cookie;
};

// An HTTP/1.0 client for GET requests. Each wait (name lookup, connect,
// sending the request, reading a header line, each piece of the body) is
// limited by timeLimit; the pump runs between short polls meanwhile. The body
// is as long as its Content-Length says, or in chunked transfer coding when
// the answer says so, else everything the server sends until it closes the
// connection; at most limits.httpBodyBytes bytes. An answer that ends before
// its length, or with a malformed chunk, is an error. Statuses 300 to 302, 303,
// 307 and 308 with a Location are followed, at most kMaxRedirects times; every other status ends the fetch with its
// body (an error page is a body like any other). Failures raise vextral::Error with the client's messages ("Host Lookup
// Failed", "Socket readln aborted", ...).
class HttpClient {
public:
    static constexpr int kMaxRedirects = 5;

    explicit HttpClient(Pump pump = {}) : pump_(std::move(pump)) {}

    // The proxy every request goes through; none when proxyHost is empty.
    std::string proxyHost;
    int proxyPort = 8080;
    std::chrono::milliseconds timeLimit {20000};
    // The bounds on the header and the body of each response.
    ReaderLimits limits;

    HttpResponse get(const std::string& url);

    // A cookie set by a redirect response, sent with every later request.
    const std::string& cookie() const { return cookie_; }

    // Ends a fetch under way (from the pump) at its next wait with an error;
    // the next get() starts afresh.
    void cancel();

private:
    HttpResponse fetch(const HttpUrl& url);

    Pump pump_;
    std::string cookie_;
    TcpConnection* current_ = nullptr;
    bool cancelled_ = false;
};

} // namespace vextral::net
