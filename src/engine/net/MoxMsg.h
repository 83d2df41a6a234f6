#pragma once

#include <cstddef>
#include <ctime>
#include <string>
#include <vector>

namespace vextral::net {

enum class Priority { prHighest, prHigh, prNormal, prLow, prLowest };
enum class TextEncoding { te8Bit, teBase64 };

// One attachment: read only when the message is composed.
struct AttachedFile {
    std::string fileName;    // the path's file-name part
    std::string path;        // as the caller gave it
    std::string contentType; // by extension, see getContentType
};

// The attachments of a message, in the order they were added.
class AttachedFiles {
public:
    AttachedFile& add(const std::string& path);
    std::size_t count() const { return items_.size(); }
    const AttachedFile& operator[](std::size_t index) const { return items_.at(index); }
    AttachedFile& operator[](std::size_t index) { return items_.at(index); }
    void clear() { items_.clear(); }
    auto begin() const { return items_.begin(); }
    auto end() const { return items_.end(); }

private:
    std::vector<AttachedFile> items_;
};

// A mail message as the mail dialog fills it and the composer writes it.
// Texts (subject, message lines, names) are UTF-8.
struct MoxMsg {
    std::string userName; // display name of the sender; empty: bare address
    std::string from;     // sender address (a bare user name is completed with the server)
    std::string replyTo;  // empty: no Reply-To header
    std::string sendTo;   // comma-separated recipients, free form
    std::string cc;       // empty: no CC header
    std::string bcc;      // never written into a header
    std::string subject;
    std::vector<std::string> text;         // one entry per line
    std::vector<std::string> extraHeaders; // complete header lines
    Priority priority = Priority::prNormal;
    std::string charSet = "ISO-8859-1";
    TextEncoding textEncoding = TextEncoding::te8Bit;
    std::string inReplyTo; // empty: no In-Reply-To header
    std::string date;      // Date header value; empty: the composer takes the clock
    AttachedFiles attachedFiles;
};

// n in decimal, preceded by "0" until it has at least width characters.
std::string padNumber(long long n, int width);

// The offset of local time from universal time: "GMT" when 0, else "+hhmm"
// east or "-hhmm" west. offsetSeconds is east-positive (tm_gmtoff).
std::string timeZoneText(long offsetSeconds);
std::string timeZoneText(); // the local offset now

// "Sat, 5 May 2001 14:03:09 +0800": English names whatever the locale.
// The first form takes a local broken-down time and its offset.
std::string formatMailDate(const std::tm& local, long offsetSeconds);
std::string formatMailDate(std::time_t moment); // local time of moment

// "<MOX.2001.05.05.kqdmaebt@hostName>": today's date and 8 letters a..t.
std::string newMessageId(const std::string& hostName);
// "--_MOX_bound_" and 12 letters a..y.
std::string newBoundary();
// A name for a new file "mox..." in the temporary folder ($TMPDIR or /tmp);
// the file does not exist when this returns (the caller creates it).
std::string newTempFileName();

} // namespace vextral::net
