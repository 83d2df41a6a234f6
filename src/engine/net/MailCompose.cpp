#include "net/MailCompose.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/Error.h"
#include "core/FileDescriptor.h"
#include "core/Percent.h"
#include "core/ProductInfo.h"
#include "core/Text.h"
#include "net/Base64EncodingStream.h"

namespace vextral::net {

namespace {

// ---- character sets ----

// Decodes one UTF-8 sequence at text[i]; returns its length (0 when invalid).
std::size_t utf8Sequence(const std::string& text, std::size_t i, char32_t& code)
{
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    std::size_t length = lead < 0x80 ? 1 : (lead >> 5) == 6 ? 2 : (lead >> 4) == 14 ? 3 : (lead >> 3) == 30 ? 4 : 0;
    if (length == 0 || i + length > text.size()) return 0;
    code = length == 1 ? lead : lead & (0x7F >> length);
    for (std::size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) return 0;
        code = (code << 6) | (byte(i + k) & 0x3F);
    }
    static constexpr char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < kSmallest[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
    return length;
}

bool isUtf8(const std::string& text)
{
    char32_t code = 0;
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t n = utf8Sequence(text, i, code);
        if (n == 0) return false;
        i += n;
    }
    return true;
}

// The ISO-8859-1 bytes of UTF-8 text, when every character has one.
bool latin1FromUtf8(const std::string& text, std::string& out)
{
    out.clear();
    char32_t code = 0;
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t n = utf8Sequence(text, i, code);
        if (n == 0 || code > 0xFF) return false;
        out += static_cast<char>(code);
        i += n;
    }
    return true;
}

bool isAscii(const std::string& text)
{
    for (const char c : text)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}

// The texts of the message in the character set they go out in.
struct Texts {
    std::string charSet;
    std::string subject;
    std::string userName;
    std::vector<std::string> lines;
};

Texts outgoingTexts(const MoxMsg& msg)
{
    Texts out {msg.charSet, msg.subject, msg.userName, msg.text};
    if (!sameName(msg.charSet, "ISO-8859-1")) return out;
    std::vector<std::string*> all {&out.subject, &out.userName};
    for (std::string& line : out.lines) all.push_back(&line);
    bool fits = true, utf8 = true;
    std::string converted;
    for (const std::string* text : all) {
        if (isAscii(*text)) continue;
        if (!latin1FromUtf8(*text, converted)) fits = false;
        if (!isUtf8(*text)) utf8 = false;
    }
    if (fits) {
        for (std::string* text : all)
            if (!isAscii(*text) && latin1FromUtf8(*text, converted)) *text = converted;
    } else if (utf8) {
        out.charSet = "UTF-8"; // a character outside ISO-8859-1 must not be lost
    }
    // Otherwise the bytes are not UTF-8: they are taken to be in the named set.
    return out;
}

// ---- header values ----

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

std::string quotedName(const std::string& name)
{
    std::string quoted = "\"";
    for (const char c : name) {
        if (c == '"' || c == '\\') quoted += '\\';
        quoted += c;
    }
    return quoted + "\"";
}

// The message text as lines without line breaks inside them.
std::vector<std::string> splitLines(const std::vector<std::string>& entries)
{
    std::vector<std::string> lines;
    for (const std::string& entry : entries) {
        std::size_t start = 0;
        for (;;) {
            const std::size_t stop = entry.find_first_of("\r\n", start);
            lines.push_back(entry.substr(start, stop == std::string::npos ? std::string::npos : stop - start));
            if (stop == std::string::npos) break;
            start = stop + (entry.compare(stop, 2, "\r\n") == 0 ? 2 : 1);
            if (start == entry.size()) break;
        }
    }
    return lines;
}

// Base64 text with its CR LF line breaks, as lines.
void appendBase64Lines(const std::string& text, std::vector<std::string>& lines)
{
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t stop = text.find("\r\n", start);
        if (stop == std::string::npos) stop = text.size();
        lines.push_back(text.substr(start, stop - start));
        start = stop + 2;
    }
}

// ---- attachment files ----

using Descriptor = FileDescriptor;

// A write-only stream that splits what it receives into lines at CR LF.
class LineStream final : public Stream {
public:
    explicit LineStream(std::vector<std::string>& lines) : lines_(lines) {}
    std::size_t read(void*, std::size_t) override { throw Error("Invalid stream operation"); }
    std::int64_t seek(std::int64_t, SeekOrigin) override { throw Error("Invalid stream operation"); }
    std::size_t write(const void* buffer, std::size_t count) override
    {
        const char* at = static_cast<const char*>(buffer);
        const char* const end = at + count;
        while (at < end) {
            const char* stop = static_cast<const char*>(std::memchr(at, '\n', static_cast<std::size_t>(end - at)));
            if (!stop) {
                current_.append(at, end);
                break;
            }
            current_.append(at, stop);
            if (!current_.empty() && current_.back() == '\r') current_.pop_back();
            lines_.push_back(std::move(current_));
            current_.clear();
            current_.reserve(76);
            at = stop + 1;
        }
        return count;
    }
    // The last line, which has no line break after it.
    void finish()
    {
        if (!current_.empty()) lines_.push_back(std::move(current_));
        current_.clear();
    }

private:
    std::vector<std::string>& lines_;
    std::string current_;
};

// Reads up to count bytes, fewer only at the end of the file.
std::size_t readFully(int fd, char* buffer, std::size_t count, const std::string& path)
{
    std::size_t done = 0;
    while (done < count) {
        const ssize_t n = ::read(fd, buffer + done, count - done);
        if (n == 0) break;
        if (n < 0) {
            if (errno == EINTR) continue;
            throw Error("Cannot read file " + path + ": " + std::strerror(errno));
        }
        done += static_cast<std::size_t>(n);
    }
    return done;
}

} // namespace

std::string mailerName() { return std::string("Vextral ") + product::kVersion; }

void encodeFile(const AttachedFile& file, const ComposeEvents& events, Stream& target)
{
    // Non-blocking open, so that a named pipe cannot hold the composer; only
    // regular files are attached (a device could be endless).
    const Descriptor source(::open(file.path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (source.get() < 0) throw Error("Cannot open file " + file.path + ": " + std::strerror(errno));
    struct stat info {};
    if (::fstat(source.get(), &info) != 0 || !S_ISREG(info.st_mode))
        throw Error("Cannot open file " + file.path + ": not a regular file");
    const std::int64_t size = info.st_size;

    if (events.onEncodeStart) events.onEncodeStart(file.fileName, size);
    Base64EncodingStream encoder(&target);
    // The source is read in large blocks and handed on in chunks of 1024
    // bytes, each chunk one step of progress. Reading stops at the size the
    // file had when it was opened, so a growing file cannot keep the composer
    // busy for ever.
    constexpr std::size_t kChunk = 1024;
    constexpr std::size_t kBlock = 64 * kChunk;
    std::string block(kBlock, '\0');
    std::size_t blockUsed = 0, blockFilled = 0;
    std::int64_t position = 0;
    int threshold = events.encodeProgressStep;
    int percentDone = 0;
    for (;;) {
        if (events.pump) events.pump();
        if (blockUsed == blockFilled) {
            const std::size_t want = static_cast<std::size_t>(std::min<std::int64_t>(kBlock, size - position));
            blockFilled = readFully(source.get(), block.data(), want, file.path);
            blockUsed = 0;
        }
        const std::size_t n = std::min(kChunk, blockFilled - blockUsed);
        encoder.write(block.data() + blockUsed, n);
        blockUsed += n;
        position += static_cast<std::int64_t>(n);
        percentDone = size == 0 ? 100 : percent(position, size);
        if (percentDone >= threshold) {
            if (events.onEncodeProgress) events.onEncodeProgress(percentDone);
            threshold += events.encodeProgressStep;
        }
        if (n < kChunk) break;
    }
    if (percentDone < 100 && events.onEncodeProgress) events.onEncodeProgress(100);
    encoder.finish();
}

std::vector<std::string> encodeAttachment(const AttachedFile& file, const ComposeEvents& events)
{
    // The text goes straight into lines in memory, where the message keeps
    // it anyway: no temporary file to write and read back.
    std::vector<std::string> lines;
    LineStream target(lines);
    encodeFile(file, events, target);
    target.finish();
    if (events.onEncodeEnd) events.onEncodeEnd();
    return lines;
}

std::vector<std::string> composeMessage(const MoxMsg& msg, const std::string& host, const std::string& localHostName,
                                        const ComposeEvents& events)
{
    const Texts texts = outgoingTexts(msg);
    const bool base64 = msg.textEncoding == TextEncoding::teBase64;
    const std::string label = base64 ? "base64" : "8Bit";

    // Body text.
    std::vector<std::string> body;
    if (base64) {
        std::string joined;
        for (const std::string& line : texts.lines) joined += line + "\r\n";
        appendBase64Lines(base64Encode(joined), body);
    } else {
        body = splitLines(texts.lines);
        for (std::string& line : body)
            if (!line.empty() && line.front() == '.') line.insert(0, 1, '.');
    }

    // Header lines, in their fixed order.
    std::vector<std::string> headers;
    headers.push_back("Message-Id: " + newMessageId(oneLine(localHostName)));
    if (!msg.inReplyTo.empty()) headers.push_back("In-Reply-To: " + oneLine(msg.inReplyTo));
    headers.push_back("Date: " + oneLine(msg.date.empty() ? formatMailDate(std::time(nullptr)) : msg.date));
    headers.push_back("X-Priority: " + std::to_string(static_cast<int>(msg.priority) + 1));
    if (texts.userName.empty()) {
        headers.push_back("From: " + oneLine(msg.from));
    } else {
        const std::string address = msg.from.find('@') != std::string::npos ? msg.from : msg.from + "@" + host;
        std::string name;
        if (isAscii(texts.userName)) {
            name = quotedName(oneLine(texts.userName));
        } else {
            for (const std::string& word : encodedWords(texts.userName, texts.charSet))
                name += (name.empty() ? "" : " ") + word;
        }
        headers.push_back("From: " + name + " <" + oneLine(address) + ">");
    }
    if (!msg.replyTo.empty()) headers.push_back("Reply-To: " + oneLine(msg.replyTo));
    headers.push_back("X-Mailer: " + mailerName());
    headers.push_back("To: " + oneLine(msg.sendTo));
    if (!msg.cc.empty()) headers.push_back("CC: " + oneLine(msg.cc));
    headers.push_back("MIME-Version: 1.0");
    // The subject goes out as encoded words in Base64 mode, and in 8Bit mode
    // too when it is not plain ASCII (raw 8-bit bytes are not allowed in a
    // header and readers would garble them).
    if (base64 || !isAscii(texts.subject))
        addEncodedHeader(headers, "Subject", encodedWords(oneLine(texts.subject), texts.charSet));
    else
        headers.push_back("Subject: " + oneLine(texts.subject));

    const std::string textType = "Content-Type: Text/Plain; charset=" + texts.charSet;
    const std::string textEncoding = "Content-Transfer-Encoding: " + label;
    if (msg.attachedFiles.count() == 0) {
        headers.push_back(textType);
        headers.push_back(textEncoding);
    } else {
        const std::string boundary = newBoundary();
        const std::string delimiter = "--" + boundary;
        headers.push_back("Content-Type: multipart/mixed; boundary=\"" + boundary + "\"");
        body.insert(body.begin(), {delimiter, textType, textEncoding, ""});
        for (const AttachedFile& file : msg.attachedFiles) {
            const std::string name = quotedName(oneLine(file.fileName));
            body.push_back(delimiter);
            body.push_back("Content-Type: " + oneLine(file.contentType) + "; name=" + name);
            body.push_back("Content-Transfer-Encoding: base64");
            body.push_back("Content-Disposition: inline; FileName=" + name);
            body.push_back("");
            std::vector<std::string> encoded = encodeAttachment(file, events);
            if (events.pump) events.pump();
            body.insert(body.end(), std::make_move_iterator(encoded.begin()), std::make_move_iterator(encoded.end()));
        }
        body.push_back("");
        body.push_back(delimiter + "--");
        body.push_back("");
    }
    for (const std::string& line : msg.extraHeaders) headers.push_back(oneLine(line));

    headers.push_back("");
    headers.insert(headers.end(), std::make_move_iterator(body.begin()), std::make_move_iterator(body.end()));
    return headers;
}

} // namespace vextral::net
