#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace vextral {

// JSON text (RFC 8259) of outside data, the one place the program escapes it.
//
// A string is written between quotes with '"' and '\' escaped, the control
// characters as \b, \f, \n, \r, \t or \u00XX (DEL too, as \u007f), and every
// valid UTF-8 sequence as it is. A byte that is not part of a valid UTF-8
// sequence (file names on Linux are bytes) is written as the lone surrogate
// \udcXX, XX its value: how Python's "surrogateescape" error handler decodes
// it, so os.fsencode(json.loads(text)) gives back the original bytes. Encoded
// surrogates (ED A0..BF ..) and overlong forms count as not valid, byte by byte.
void appendJsonString(std::string& out, std::string_view bytes);
std::string jsonString(std::string_view bytes);

// The length of the valid UTF-8 sequence that begins text (1 to 4), or 0
// when its first byte begins none.
std::size_t utf8SequenceLength(std::string_view text);

} // namespace vextral
