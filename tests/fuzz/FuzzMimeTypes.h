#pragma once

#include "net/MimeTypes.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vextral::fuzz {

// A mime.types text read whole and line by line gives the same table; every
// type it holds is one a header can carry; a path's type is never empty. A
// wrong result stops the process on purpose.
inline std::size_t exerciseMimeTypes(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    net::MimeTypeTable whole, byLine;
    whole.parse(text);
    std::vector<std::string> words;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t stop = text.find('\n', start);
        if (stop == std::string_view::npos) stop = text.size();
        const std::string_view line = text.substr(start, stop - start);
        byLine.parse(line);
        std::size_t i = 0;
        while (i < line.size() && words.size() < 2000) {
            while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
            const std::size_t begin = i;
            while (i < line.size() && line[i] != ' ' && line[i] != '\t') ++i;
            if (i > begin) words.emplace_back(line.substr(begin, i - begin));
        }
        start = stop + 1;
    }
    if (whole.size() != byLine.size()) __builtin_trap();
    for (const std::string& word : words) {
        const std::string type = whole.lookup(word);
        if (type != byLine.lookup(word)) __builtin_trap();
        if (type.empty()) continue;
        if (type.find('/') == std::string::npos) __builtin_trap();
        if (type.find_first_of(" \t\r\n\"\\;") != std::string::npos) __builtin_trap();
        if (net::getContentType("/x/a." + word, whole).empty()) __builtin_trap();
    }
    if (net::getContentType("/x/none", whole) != "application/octet-stream") __builtin_trap();
    return whole.size();
}

} // namespace vextral::fuzz
