#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace vextral {

// ASCII letter case: Windows names and settings keys match without regard to
// it; other bytes (UTF-8 included) are left alone.
inline char asciiUpper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }
inline char asciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
std::string upperAscii(std::string text);
std::string lowerAscii(std::string text);
// True when a and b differ at most in the case of ASCII letters.
bool sameName(const std::string& a, const std::string& b);

// text with &, <, > and " written as character references, for HTML and XML
// text and attribute values.
std::string markupEscaped(const std::string& text);

// Integer text as users and the settings file write it: optional sign, then
// decimal digits, "$" and hexadecimal digits, or "0x"/"0X" and hexadecimal
// digits. Nothing when it does not convert to a 32-bit value.
std::optional<std::int32_t> parseInteger(const std::string& text);

// Text typed into a numeric field, converted when it is used; raises
// "'%s' is not a valid integer value" when it is not an integer.
std::int32_t integerFromText(const std::string& text);
// The same for the field of that label: raises FieldError
// "<field>: '%s' is not a valid integer value".
std::int32_t integerFromText(const std::string& text, const std::string& field);

} // namespace vextral
