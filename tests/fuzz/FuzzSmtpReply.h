#pragma once

#include "net/SmtpReply.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vextral::fuzz {

// The SMTP reply reader on the bytes after a 1-byte seed that cuts them into
// pieces (as receives would). Replies never exceed their limits, each ends in
// a final line, and the lines of all replies are, in order, the first lines
// of the input. A wrong result that is no crash stops the process on purpose.
inline std::size_t exerciseSmtpReply(const std::uint8_t* data, std::size_t size)
{
    if (size < 1) return 0;
    const unsigned seed = data[0];
    const std::string_view bytes(reinterpret_cast<const char*>(data + 1), size - 1);

    // The input's whole lines, as the reader should see them.
    std::vector<std::string> expected;
    for (std::size_t start = 0, end; (end = bytes.find('\n', start)) != std::string_view::npos; start = end + 1) {
        std::string line(bytes.substr(start, end - start));
        if (!line.empty() && line.back() == '\r') line.pop_back();
        expected.push_back(std::move(line));
    }

    net::SmtpReplyReader reader;
    net::SmtpReply reply;
    std::size_t lines = 0, offset = 0, replies = 0;
    unsigned step = seed;
    while (offset < bytes.size()) {
        step = step * 1103515245u + 12345u;
        const std::size_t piece = 1 + (step >> 16) % (seed % 4 == 0 ? 2048 : 17);
        const auto status = reader.feed(bytes.substr(offset, piece), reply);
        offset += piece;
        if (status == net::SmtpReplyReader::Status::TooLong) break;
        if (status != net::SmtpReplyReader::Status::Complete) continue;
        ++replies;
        if (reply.lines.empty() || reply.line != reply.lines.back() || reply.code.size() > 3 ||
            reply.text.size() > 64) {
            __builtin_trap();
        }
        if (reply.line.size() != 3 && (reply.line.size() < 4 || reply.line[3] != ' ')) __builtin_trap();
        for (const std::string& line : reply.lines) {
            if (line.size() > ReaderLimits {}.smtpLine || lines >= expected.size() || line != expected[lines])
                __builtin_trap();
            ++lines;
        }
    }
    return replies + lines;
}

} // namespace vextral::fuzz
