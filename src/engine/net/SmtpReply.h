#pragma once

#include "core/ReaderLimits.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace vextral::net {

// One SMTP reply as the client judges it: by its last line.
struct SmtpReply {
    std::string code;               // the last line's first three characters, blanks trimmed
    std::string text;               // its characters 4 to 67 (at most 64), blanks trimmed
    std::string line;               // the last line itself, without its line end
    std::vector<std::string> lines; // every line received for the reply (EHLO lists its extensions here)
};

// Collects the bytes of SMTP replies as they arrive, in pieces of any size,
// and says when a reply is complete. Fed without a socket, so it can be
// tested (and fuzzed) on its own.
//
// The rule: a reply is complete when the last whole line received so far is
// a final line, one whose fourth character is a blank (continuation lines
// carry "-" there), or a line of exactly three characters (a bare code). The
// reply is judged by that last line; every whole line received before it
// belongs to the reply. Lines end in LF, with or without a CR before it.
// Bytes after the last whole line wait for the next reply.
//
// Memory is bounded: a line longer than limits.smtpLine, or a reply of more
// than limits.smtpReply bytes, is an error rather than an ever-growing buffer.
class SmtpReplyReader {
public:
    enum class Status {
        Incomplete, // more bytes are needed
        Complete,   // reply holds a whole reply
        TooLong,    // a line or the reply exceeded its limit; the reader must be cleared
    };

    explicit SmtpReplyReader(const ReaderLimits& limits = {}) : limits_(limits) {}

    // Adds received bytes and reports whether a whole reply has arrived; when
    // it has, reply receives it and the reader starts on the next one.
    Status feed(std::string_view bytes, SmtpReply& reply);
    // Forgets everything received (a new connection).
    void clear();
    // True when bytes of an unfinished reply are waiting.
    bool pending() const { return !partial_.empty() || !lines_.empty(); }

private:
    ReaderLimits limits_;
    std::string partial_;            // bytes after the last LF
    std::vector<std::string> lines_; // whole lines of the reply under way
    std::size_t replyBytes_ = 0;
    bool broken_ = false;
};

} // namespace vextral::net
