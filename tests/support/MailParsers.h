#pragma once

// A received or composed mail message read the way mail programs read it: by
// Python's email package, with its modern parser (policy default) and its
// older one (compat32), as many programs still use.

#include <filesystem>
#include <string>
#include <vector>

namespace vextral::test {

// What each parser makes of a message with a text part and one attachment
// (or of a text-only message, the attachment fields then empty). Every text
// is UTF-8.
struct ParsedMail {
    bool parsed = false; // python ran and read the message; else error says why
    std::string error;
    // The modern parser.
    std::vector<std::string> displayNames; // of To, then CC, one per address ("" when none)
    std::string subject;
    std::string text;        // the text part, decoded
    std::string fileName;    // the attachment's file name
    std::string attachment;  // its bytes, decoded
    std::string lineTooLong; // a raw line over 998 characters, when one is there
    // compat32.
    std::string oldTo, oldCc; // the headers with their encoded words decoded
    std::string oldText;      // the text part, decoded by its charset
    std::string oldFileName;  // the disposition's filename, RFC 2231 collapsed
    std::string oldName;      // the content type's name, encoded words decoded
};

ParsedMail parseMail(const std::filesystem::path& file);

// One paragraph of more than 1500 characters - more than a mail line may
// hold - with non-ASCII letters, "=", a double blank and tabs in it.
std::string longParagraph();

} // namespace vextral::test
