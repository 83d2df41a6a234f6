#include "net/SmtpReply.h"

namespace vextral::net {

namespace {

std::string_view trimmed(std::string_view text)
{
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!text.empty() && blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && blank(text.back())) text.remove_suffix(1);
    return text;
}

bool isFinal(const std::string& line) { return line.size() == 3 || (line.size() >= 4 && line[3] == ' '); }

} // namespace

SmtpReplyReader::Status SmtpReplyReader::feed(std::string_view bytes, SmtpReply& reply)
{
    if (broken_) return Status::TooLong;
    bool sawLine = false;
    while (!bytes.empty()) {
        const std::size_t end = bytes.find('\n');
        const std::string_view piece = bytes.substr(0, end);
        if (partial_.size() + piece.size() > limits_.smtpLine + 1 || replyBytes_ + piece.size() > limits_.smtpReply) {
            broken_ = true;
            return Status::TooLong;
        }
        partial_.append(piece);
        replyBytes_ += piece.size() + (end == std::string_view::npos ? 0 : 1);
        if (end == std::string_view::npos) break;
        bytes.remove_prefix(end + 1);
        if (!partial_.empty() && partial_.back() == '\r') partial_.pop_back();
        if (partial_.size() > limits_.smtpLine) {
            broken_ = true;
            return Status::TooLong;
        }
        lines_.push_back(std::move(partial_));
        partial_.clear();
        sawLine = true;
    }
    if (!sawLine || lines_.empty() || !isFinal(lines_.back())) return Status::Incomplete;

    reply.lines = std::move(lines_);
    lines_.clear();
    replyBytes_ = partial_.size();
    reply.line = reply.lines.back();
    const std::string_view line = reply.line;
    reply.code = std::string(trimmed(line.substr(0, 3)));
    reply.text = line.size() > 3 ? std::string(trimmed(line.substr(3, 64))) : std::string();
    return Status::Complete;
}

void SmtpReplyReader::clear()
{
    partial_.clear();
    lines_.clear();
    replyBytes_ = 0;
    broken_ = false;
}

} // namespace vextral::net
