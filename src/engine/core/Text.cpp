#include "core/Text.h"

#include "core/Error.h"

namespace vextral {

std::string upperAscii(std::string text)
{
    for (char& c : text) c = asciiUpper(c);
    return text;
}

std::string lowerAscii(std::string text)
{
    for (char& c : text) c = asciiLower(c);
    return text;
}

bool sameName(const std::string& a, const std::string& b)
{
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (asciiUpper(a[i]) != asciiUpper(b[i])) return false;
    }
    return true;
}

std::optional<std::int32_t> parseInteger(const std::string& text)
{
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    int base = 10;
    if (i < text.size() && text[i] == '$') {
        base = 16;
        ++i;
    } else if (text.size() - i > 2 && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    if (i >= text.size()) return std::nullopt;
    std::uint64_t value = 0;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        int digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (base == 16 && c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (base == 16 && c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else
            return std::nullopt;
        value = value * static_cast<std::uint64_t>(base) + static_cast<std::uint64_t>(digit);
        if (value > 0xFFFFFFFFull) return std::nullopt;
    }
    if (base == 10) {
        if (value > (negative ? 0x80000000ull : 0x7FFFFFFFull)) return std::nullopt;
        return static_cast<std::int32_t>(negative ? -static_cast<std::int64_t>(value)
                                                  : static_cast<std::int64_t>(value));
    }
    // Hexadecimal covers all 32 bits: $FFFFFFFF is -1.
    const auto bits = static_cast<std::uint32_t>(value);
    return negative ? static_cast<std::int32_t>(0u - bits) : static_cast<std::int32_t>(bits);
}

std::int32_t integerFromText(const std::string& text)
{
    const auto value = parseInteger(text);
    if (!value) throw Error("'" + text + "' is not a valid integer value");
    return *value;
}

std::int32_t integerFromText(const std::string& text, const std::string& field)
{
    const auto value = parseInteger(text);
    if (!value) throw FieldError(field, "'" + text + "' is not a valid integer value");
    return *value;
}

std::string markupEscaped(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        default: out += c;
        }
    }
    return out;
}

} // namespace vextral
