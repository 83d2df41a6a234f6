#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "net/Base64EncodingStream.h"
#include "net/MoxMsg.h"

namespace vextral::net {

// What composing reports while it encodes attachments, and the pump it serves
// so a window stays responsive. Every member may be empty.
struct ComposeEvents {
    std::function<void(const std::string& fileName, std::int64_t bytesCount)> onEncodeStart;
    std::function<void(int percent)> onEncodeProgress;
    std::function<void()> onEncodeEnd;
    std::function<void()> pump;  // before every 1024-byte chunk and after every attachment
    int encodeProgressStep = 10; // percent between two onEncodeProgress calls
};

// The message as sent after DATA: every line followed by CR LF, without the
// final "." line; the caller does the SMTP dot-stuffing of nothing else
// (lines beginning with "." are already doubled in 8Bit mode). No line is
// longer than 998 characters but a header word that cannot be split.
//   host:          the SMTP server name; completes a bare user name in From
//   localHostName: this machine's name as the connection reports it (Message-Id)
// The message is not changed. Text that is valid UTF-8 goes out as ISO-8859-1
// when the message's charset is ISO-8859-1 and every character fits, else as
// UTF-8 (and the charset named is then UTF-8). Attachments are encoded
// straight into the text, whose room is reserved first: composing a message
// takes about its own size in memory. Throws vextral::Error when an
// attachment cannot be read.
std::string composeMessageText(const MoxMsg& msg, const std::string& host, const std::string& localHostName,
                               const ComposeEvents& events = {});
// The same message as lines, without their CR LF.
std::vector<std::string> composeMessage(const MoxMsg& msg, const std::string& host, const std::string& localHostName,
                                        const ComposeEvents& events = {});

// The Base64 text of one file (76 characters a line, CR LF between lines),
// with the start/progress/end events.
std::string encodeAttachment(const AttachedFile& file, const ComposeEvents& events);
// The encoding itself: the file at file.path read in 1024-byte chunks (the
// pump served before each, progress by the step's thresholds, 100 at the end)
// and written as Base64 text with CR LF line breaks into target. Fires the
// start and progress events, not the end. Throws vextral::Error when the file
// cannot be read (a regular file only).
void encodeFile(const AttachedFile& file, const ComposeEvents& events, Stream& target);

// The application title in the X-Mailer header.
std::string mailerName();

} // namespace vextral::net
