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
#include "net/MailHeaders.h"

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

// Quoted-printable lines (RFC 2045) of the text lines: every byte outside
// printable ASCII and "=" as =XX, a space or tab ending a line too, and soft
// line breaks ("=" at the end) that keep each line within 76 characters. A
// "." at the start of a line is written =2E, so no line starts with one.
std::vector<std::string> quotedPrintableLines(const std::vector<std::string>& lines)
{
    static const char digits[] = "0123456789ABCDEF";
    std::vector<std::string> out;
    for (const std::string& line : lines) {
        std::string current;
        for (std::size_t i = 0; i < line.size(); ++i) {
            const auto c = static_cast<unsigned char>(line[i]);
            const bool lastOfLine = i + 1 == line.size();
            const bool plain = (c >= 33 && c <= 126 && c != '=') || ((c == ' ' || c == '\t') && !lastOfLine);
            std::string piece;
            if (plain && !(c == '.' && current.empty())) {
                piece = std::string(1, static_cast<char>(c));
            } else {
                piece = {'=', digits[c >> 4], digits[c & 15]};
            }
            // Room for the piece and, unless the line ends here, the soft break's "=".
            if (current.size() + piece.size() > (lastOfLine ? 76u : 75u)) {
                out.push_back(current + "=");
                current.clear();
                if (piece == ".") piece = "=2E";
            }
            current += piece;
        }
        out.push_back(current);
    }
    return out;
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

// A write-only stream that appends what it receives to a text it does not own.
class AppendStream final : public Stream {
public:
    explicit AppendStream(std::string& text) : text_(text) {}
    std::size_t read(void*, std::size_t) override { throw Error("Invalid stream operation"); }
    std::int64_t seek(std::int64_t, SeekOrigin) override { throw Error("Invalid stream operation"); }
    std::size_t write(const void* buffer, std::size_t count) override
    {
        text_.append(static_cast<const char*>(buffer), count);
        return count;
    }

private:
    std::string& text_;
};

// The Base64 text of a file of size bytes: 76 characters a line, CR LF after
// each line but the last.
std::size_t base64Size(std::int64_t size)
{
    const auto characters = static_cast<std::size_t>((size + 2) / 3 * 4);
    return characters + (characters == 0 ? 0 : (characters - 1) / 76 * 2);
}

// The size of a file as it is now, 0 when it cannot be read (the encoder then
// says why).
std::int64_t fileSize(const std::string& path)
{
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) ? info.st_size : 0;
}

void appendLine(std::string& text, const std::string& line)
{
    text += line;
    text += "\r\n";
}

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

std::string encodeAttachment(const AttachedFile& file, const ComposeEvents& events)
{
    std::string text;
    AppendStream target(text);
    encodeFile(file, events, target);
    if (events.onEncodeEnd) events.onEncodeEnd();
    return text;
}

std::string composeMessageText(const MoxMsg& msg, const std::string& host, const std::string& localHostName,
                               const ComposeEvents& events)
{
    const Texts texts = outgoingTexts(msg);
    const bool base64 = msg.textEncoding == TextEncoding::teBase64;
    std::string label = base64 ? "base64" : "8Bit";

    // Body text. A line of more than 998 characters is more than SMTP allows
    // (servers refuse or bounce it): such a text goes out quoted-printable,
    // which keeps every byte; other 8-bit texts exactly as typed.
    std::vector<std::string> body;
    if (base64) {
        std::string joined;
        for (const std::string& line : texts.lines) joined += line + "\r\n";
        appendBase64Lines(base64Encode(joined), body);
    } else {
        body = splitLines(texts.lines);
        if (std::any_of(body.begin(), body.end(), [](const std::string& line) { return line.size() > kMaxLine; })) {
            body = quotedPrintableLines(body);
            label = "quoted-printable";
        }
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
        addFoldedHeader(headers, "From",
                        headerName(oneLine(texts.userName), texts.charSet) + " <" + oneLine(address) + ">");
    }
    if (!msg.replyTo.empty()) headers.push_back("Reply-To: " + oneLine(msg.replyTo));
    headers.push_back("X-Mailer: " + mailerName());
    // Recipients as typed when plain ASCII (folded only when the line would
    // pass SMTP's 998 characters); names that are not, as encoded words.
    const auto addRecipients = [&headers](const char* name, const std::string& list) {
        const std::string value = oneLine(list);
        if (isAscii(value) && value.size() + 4 <= kMaxLine) {
            headers.push_back(std::string(name) + ": " + value);
        } else {
            addFoldedHeader(headers, name, encodedAddressList(value));
        }
    };
    addRecipients("To", msg.sendTo);
    if (!msg.cc.empty()) addRecipients("CC", msg.cc);
    headers.push_back("MIME-Version: 1.0");
    // The subject goes out as encoded words in Base64 mode, and in 8Bit mode
    // too when it is not plain ASCII (raw 8-bit bytes are not allowed in a
    // header and readers would garble them).
    if (base64 || !isAscii(texts.subject))
        addEncodedHeader(headers, "Subject", encodedWords(oneLine(texts.subject), texts.charSet));
    else if (texts.subject.size() + 9 > kMaxLine)
        addFoldedHeader(headers, "Subject", oneLine(texts.subject));
    else
        headers.push_back("Subject: " + oneLine(texts.subject));

    const std::string textType = "Content-Type: Text/Plain; charset=" + texts.charSet;
    const std::string textEncoding = "Content-Transfer-Encoding: " + label;
    const std::string boundary = msg.attachedFiles.count() == 0 ? std::string() : newBoundary();
    const std::string delimiter = "--" + boundary;
    if (boundary.empty()) {
        headers.push_back(textType);
        headers.push_back(textEncoding);
    } else {
        headers.push_back("Content-Type: multipart/mixed; boundary=\"" + boundary + "\"");
        body.insert(body.begin(), {delimiter, textType, textEncoding, ""});
    }
    for (const std::string& line : msg.extraHeaders) headers.push_back(oneLine(line));
    headers.push_back("");

    // One text, its room reserved at once: the attachments are encoded
    // straight into it, so the message takes little more memory than its
    // own size (about 4/3 of the files).
    std::size_t room = 0;
    for (const std::string& line : headers) room += line.size() + 2;
    for (const std::string& line : body) room += line.size() + 2;
    for (const AttachedFile& file : msg.attachedFiles) room += base64Size(fileSize(file.path)) + 1024;
    std::string text;
    text.reserve(room + 64);
    for (const std::string& line : headers) appendLine(text, line);
    for (const std::string& line : body) appendLine(text, line);
    if (boundary.empty()) return text;

    for (const AttachedFile& file : msg.attachedFiles) {
        const FileNameHeaders names = fileNameHeaders(oneLine(file.contentType), oneLine(file.fileName));
        appendLine(text, delimiter);
        for (const std::string& line : names.contentType) appendLine(text, line);
        appendLine(text, "Content-Transfer-Encoding: base64");
        for (const std::string& line : names.disposition) appendLine(text, line);
        appendLine(text, "");
        const std::size_t before = text.size();
        AppendStream target(text);
        encodeFile(file, events, target);
        if (text.size() > before) text += "\r\n"; // the last Base64 line has no break of its own
        if (events.onEncodeEnd) events.onEncodeEnd();
        if (events.pump) events.pump();
    }
    appendLine(text, "");
    appendLine(text, delimiter + "--");
    appendLine(text, "");
    return text;
}

std::vector<std::string> composeMessage(const MoxMsg& msg, const std::string& host, const std::string& localHostName,
                                        const ComposeEvents& events)
{
    const std::string text = composeMessageText(msg, host, localHostName, events);
    std::vector<std::string> lines;
    for (std::size_t start = 0; start < text.size();) {
        const std::size_t stop = text.find("\r\n", start);
        lines.push_back(text.substr(start, stop - start));
        start = stop + 2;
    }
    return lines;
}

} // namespace vextral::net
