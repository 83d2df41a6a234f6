#pragma once

// The header lines of a mail message: values on one line, RFC 2047 encoded
// words for texts that are not plain ASCII, folding at 76 characters, and an
// attachment's file name as the parameters of its part.

#include <cstddef>
#include <string>
#include <vector>

namespace vextral::net {

// The longest line SMTP allows, without its CR LF (RFC 5321, 5322).
constexpr std::size_t kMaxLine = 998;

bool isAscii(const std::string& text);

// A header value on one line: line breaks inside it would start new headers.
std::string oneLine(std::string value);

// RFC 2047 encoded words ("=?charset?B?...?=") for bytes in charSet, each
// short enough that a header line holding one stays within 76 characters,
// never splitting a UTF-8 character between two words.
std::vector<std::string> encodedWords(const std::string& bytes, const std::string& charSet);

// "Name: value" for an encoded value: the first word on the header's line,
// the others folded onto continuation lines.
void addEncodedHeader(std::vector<std::string>& headers, const std::string& name,
                      const std::vector<std::string>& words);

// A display name as a header carries it: quoted when plain ASCII, else
// encoded words in charSet separated by spaces.
std::string headerName(const std::string& name, const std::string& charSet);

// A recipient list with every display name that is not plain ASCII as
// encoded words in UTF-8; ASCII entries are left exactly as typed.
std::string encodedAddressList(const std::string& list);

// "Name: value", folded at the spaces of value so that no line passes 76
// characters where a space allows it; a word longer than a line stays whole.
void addFoldedHeader(std::vector<std::string>& headers, const std::string& name, const std::string& value);

// An attachment's file name as the parameters of its part: plain ASCII as
// today; otherwise an RFC 2047 "name" for older readers and an RFC 2231
// "filename*" in UTF-8, split into numbered sections so that every line stays
// within 76 characters. Each entry is one header line of the part.
struct FileNameHeaders {
    std::vector<std::string> contentType, disposition;
};

FileNameHeaders fileNameHeaders(const std::string& contentType, const std::string& fileName);

} // namespace vextral::net
