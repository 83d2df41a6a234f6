#pragma once

#include "core/Error.h"
#include "net/HttpClient.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vextral::fuzz {

// The response header reader fed an answer whole and in pieces of the size
// its first byte gives: both ways must agree, take no byte after the header,
// and stop within their limits. A wrong result stops the process on purpose.
inline std::size_t exerciseHttpHeader(const std::uint8_t* data, std::size_t size)
{
    if (size < 1) return 0;
    const std::size_t piece = 1 + data[0] % 64;
    const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);

    struct Outcome {
        std::optional<std::string> error;
        std::string header;
        std::string rest;
        int status = 0;
        std::optional<std::string> location;
        std::optional<std::string> cookie;
        bool complete = false;
        bool operator==(const Outcome&) const = default;
    };
    const auto run = [&](std::size_t step) {
        net::ResponseHeaderReader reader;
        Outcome o;
        for (std::size_t i = 0; i < bytes.size(); i += step) {
            const std::string_view chunk = bytes.substr(i, step);
            const std::size_t used = reader.feed(chunk);
            if (used > chunk.size()) __builtin_trap();
            if (!reader.problem().empty()) {
                o.error = reader.problem();
                break;
            }
            if (used < chunk.size() && !reader.complete()) __builtin_trap();
            o.rest.append(chunk.substr(used));
        }
        o.header = reader.text();
        o.status = reader.status();
        o.location = reader.location();
        o.cookie = reader.cookie();
        o.complete = reader.complete();
        if (o.header.size() > ReaderLimits {}.httpHeaderBytes) __builtin_trap();
        if (o.location && o.location->size() > ReaderLimits {}.httpLocation) __builtin_trap();
        if (!o.error && o.header + o.rest != bytes) __builtin_trap();
        return o;
    };
    const Outcome whole = run(bytes.size() == 0 ? 1 : bytes.size());
    const Outcome pieces = run(piece);
    if (whole.error.has_value() != pieces.error.has_value()) __builtin_trap();
    if (!whole.error && !(whole == pieces)) __builtin_trap();
    return size;
}

} // namespace vextral::fuzz
