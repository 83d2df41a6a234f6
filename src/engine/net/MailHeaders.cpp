#include "net/MailHeaders.h"

#include "net/Base64EncodingStream.h"

#include "core/Text.h"

#include <algorithm>

namespace vextral::net {

namespace {

std::string quotedName(const std::string& name)
{
    std::string quoted = "\"";
    for (const char c : name) {
        if (c == '"' || c == '\\') quoted += '\\';
        quoted += c;
    }
    return quoted + "\"";
}

std::string percentEncoded(const std::string& bytes)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (const char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
                           c == '.' || c == '_' || c == '~';
        if (plain) {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += digits[c >> 4];
            out += digits[c & 15];
        }
    }
    return out;
}

} // namespace

bool isAscii(const std::string& text)
{
    for (const char c : text)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}

// A header value on one line: line breaks inside it would start new headers.
std::string oneLine(std::string value)
{
    for (char& c : value)
        if (c == '\r' || c == '\n') c = ' ';
    return value;
}

// RFC 2047 encoded words ("=?charset?B?...?=") for bytes in charSet, each
// short enough that a header line holding one stays within 76 characters,
// and never splitting a UTF-8 character between two words.
std::vector<std::string> encodedWords(const std::string& bytes, const std::string& charSet)
{
    const std::string open = "=?" + charSet + "?B?";
    const std::size_t overhead = open.size() + 2;
    const std::size_t room = overhead + 4 < 67 ? (67 - overhead) / 4 : 1; // groups of 4 characters
    const std::size_t maxBytes = room * 3;
    const bool utf8 = sameName(charSet, "UTF-8");
    std::vector<std::string> words;
    std::size_t at = 0;
    do {
        std::size_t take = std::min(maxBytes, bytes.size() - at);
        if (utf8 && at + take < bytes.size()) {
            std::size_t cut = take;
            while (cut > 0 && (static_cast<unsigned char>(bytes[at + cut]) & 0xC0) == 0x80) --cut;
            if (cut > 0) take = cut;
        }
        words.push_back(open + base64Encode(bytes.substr(at, take)) + "?=");
        at += take;
    } while (at < bytes.size());
    return words;
}

// "Name: value" for an encoded value: the first word on the header's line,
// the others folded onto continuation lines.
void addEncodedHeader(std::vector<std::string>& headers, const std::string& name, const std::vector<std::string>& words)
{
    headers.push_back(name + ": " + words.front());
    for (std::size_t i = 1; i < words.size(); ++i) headers.push_back(" " + words[i]);
}

// A display name as a header carries it: quoted when plain ASCII, else RFC
// 2047 encoded words in charSet (separated by spaces, so that a header can
// fold between them).
std::string headerName(const std::string& name, const std::string& charSet)
{
    if (isAscii(name)) return quotedName(name);
    std::string words;
    for (const std::string& word : encodedWords(name, charSet)) words += (words.empty() ? "" : " ") + word;
    return words;
}

// A recipient list ("Jürgen Müller <j@x>, b@y") with every display name that
// is not plain ASCII as encoded words in UTF-8, the program's own character
// set; ASCII entries are left exactly as typed. Commas inside quotes or angle
// brackets do not separate entries.
std::string encodedAddressList(const std::string& list)
{
    if (isAscii(list)) return list;
    std::vector<std::string> entries;
    std::string current;
    bool quoted = false;
    int angle = 0;
    for (std::size_t i = 0; i < list.size(); ++i) {
        const char c = list[i];
        if (c == '\\' && quoted && i + 1 < list.size()) {
            current += c;
            current += list[++i];
            continue;
        }
        if (c == '"') quoted = !quoted;
        if (!quoted && c == '<') ++angle;
        if (!quoted && c == '>' && angle > 0) --angle;
        if (c == ',' && !quoted && angle == 0) {
            entries.push_back(current);
            current.clear();
            continue;
        }
        current += c;
    }
    entries.push_back(current);
    const auto trimmed = [](const std::string& text) {
        const std::size_t first = text.find_first_not_of(" \t");
        if (first == std::string::npos) return std::string();
        return text.substr(first, text.find_last_not_of(" \t") - first + 1);
    };
    std::string out;
    for (const std::string& entry : entries) {
        std::string text = trimmed(entry);
        const std::size_t open = text.rfind('<');
        if (!isAscii(text) && open != std::string::npos && text.find('>', open) != std::string::npos) {
            std::string name = trimmed(text.substr(0, open));
            if (name.size() >= 2 && name.front() == '"' && name.back() == '"') {
                std::string unquoted;
                for (std::size_t i = 1; i + 1 < name.size(); ++i) {
                    if (name[i] == '\\' && i + 2 < name.size()) ++i;
                    unquoted += name[i];
                }
                name = unquoted;
            }
            text = (name.empty() ? "" : headerName(name, "UTF-8") + " ") + text.substr(open);
        }
        out += (out.empty() ? "" : ", ") + text;
    }
    return out;
}

// "Name: value", folded at the spaces of value so that no line passes 76
// characters where a space allows it; a word longer than a line stays whole.
void addFoldedHeader(std::vector<std::string>& headers, const std::string& name, const std::string& value)
{
    std::string line = name + ":";
    std::size_t at = 0;
    bool first = true;
    while (at <= value.size()) {
        std::size_t stop = value.find(' ', at);
        if (stop == std::string::npos) stop = value.size();
        const std::string word = value.substr(at, stop - at);
        if (!first && line.size() + 1 + word.size() > 76) {
            headers.push_back(line);
            line.clear();
        }
        line += " " + word;
        first = false;
        at = stop + 1;
    }
    headers.push_back(line);
}

FileNameHeaders fileNameHeaders(const std::string& contentType, const std::string& fileName)
{
    FileNameHeaders out;
    if (isAscii(fileName)) {
        const std::string name = quotedName(fileName);
        out.contentType.push_back("Content-Type: " + contentType + "; name=" + name);
        out.disposition.push_back("Content-Disposition: inline; FileName=" + name);
        return out;
    }
    const std::vector<std::string> words = encodedWords(fileName, "UTF-8");
    out.contentType.push_back("Content-Type: " + contentType + ";");
    for (std::size_t i = 0; i < words.size(); ++i)
        out.contentType.push_back((i == 0 ? " name=\"" : " ") + words[i] + (i + 1 == words.size() ? "\"" : ""));
    out.disposition.push_back("Content-Disposition: inline;");
    // Sections of whole percent-encoded bytes, never splitting a UTF-8 character.
    constexpr std::size_t kRoom = 50;
    std::size_t at = 0;
    for (int section = 0; at < fileName.size(); ++section) {
        std::size_t take = std::min(fileName.size() - at, kRoom / 3);
        while (at + take < fileName.size() && take > 1 &&
               (static_cast<unsigned char>(fileName[at + take]) & 0xC0) == 0x80)
            --take;
        const bool last = at + take >= fileName.size();
        out.disposition.push_back(" filename*" + std::to_string(section) + "*=" + (section == 0 ? "UTF-8''" : "") +
                                  percentEncoded(fileName.substr(at, take)) + (last ? "" : ";"));
        at += take;
    }
    return out;
}

} // namespace vextral::net
