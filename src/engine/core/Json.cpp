#include "core/Json.h"

namespace vextral {

namespace {

constexpr char kHex[] = "0123456789abcdef";

bool continuation(unsigned char c) { return (c & 0xC0) == 0x80; }

void appendEscapedUnit(std::string& out, unsigned value)
{
    out += "\\u";
    for (int shift = 12; shift >= 0; shift -= 4) out += kHex[(value >> shift) & 0xF];
}

} // namespace

std::size_t utf8SequenceLength(std::string_view text)
{
    if (text.empty()) return 0;
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80) return 1;
    std::size_t length = 0;
    // The second byte's range, narrower than 80..BF where the lead byte would
    // otherwise allow overlong forms, surrogates or values past U+10FFFF.
    unsigned char low = 0x80, high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        return 0;
    }
    if (text.size() < length || byte(1) < low || byte(1) > high) return 0;
    for (std::size_t i = 2; i < length; ++i) {
        if (!continuation(byte(i))) return 0;
    }
    return length;
}

void appendJsonString(std::string& out, std::string_view bytes)
{
    out += '"';
    std::size_t i = 0;
    while (i < bytes.size()) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        if (c >= 0x80) {
            const std::size_t length = utf8SequenceLength(bytes.substr(i));
            if (length == 0) {
                appendEscapedUnit(out, 0xDC00u + c);
                ++i;
            } else {
                out.append(bytes.substr(i, length));
                i += length;
            }
            continue;
        }
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\b': out += "\\b"; break;
        case '\f': out += "\\f"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (c < 0x20 || c == 0x7F) {
                appendEscapedUnit(out, c);
            } else {
                out += static_cast<char>(c);
            }
        }
        ++i;
    }
    out += '"';
}

std::string jsonString(std::string_view bytes)
{
    std::string out;
    appendJsonString(out, bytes);
    return out;
}

} // namespace vextral
