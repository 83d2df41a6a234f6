#include "cli/ProgressLine.h"

#include "cli/CliSupport.h"
#include "core/Text.h"

#include <algorithm>
#include <ostream>

namespace vextral::cli {

namespace {

constexpr std::chrono::milliseconds kRedrawInterval {100};
constexpr const char* kClearLine = "\r\033[K";

bool startsCharacter(char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }

std::size_t characters(const std::string& text)
{
    return static_cast<std::size_t>(std::count_if(text.begin(), text.end(), startsCharacter));
}

// The first n characters of a UTF-8 text.
std::string head(const std::string& text, std::size_t n)
{
    std::size_t seen = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (startsCharacter(text[i]) && seen++ == n) return text.substr(0, i);
    }
    return text;
}

// The text when it has at most n characters, else "..." and its last ones.
std::string shortened(const std::string& text, std::size_t n)
{
    const std::size_t have = characters(text);
    if (have <= n) return text;
    if (n <= 3) return head("...", n);
    std::size_t drop = have - (n - 3), i = 0;
    while (i < text.size() && (drop > 0 || !startsCharacter(text[i]))) {
        if (startsCharacter(text[i])) --drop;
        ++i;
    }
    return "..." + text.substr(i);
}

// Control characters in names would move the cursor or worse: shown as "?".
std::string printable(std::string text)
{
    for (char& c : text) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = '?';
    }
    return text;
}

} // namespace

ProgressLine::ProgressLine(std::ostream& err, bool enabled, int columns, Clock clock)
    : err_(err), enabled_(enabled), columns_(std::max(columns, 20)), clock_(std::move(clock))
{}

void ProgressLine::setStatus(const std::string& text)
{
    status_ = text;
    stage_ = Stage::Run;
    update();
}

void ProgressLine::setFound(const std::string& text)
{
    // The run's text is "<count> files".
    found_ = parseInteger(text.substr(0, text.find(' '))).value_or(found_);
    if (stage_ == Stage::Search) update();
}

void ProgressLine::setExtracted(const std::string& text)
{
    extracted_ = text;
    update();
}

void ProgressLine::setSearchFolder(const std::string& folder)
{
    folder_ = folder;
    stage_ = Stage::Search;
}

void ProgressLine::saving(int done, int total)
{
    stage_ = Stage::Save;
    saved_ = done;
    toSave_ = total;
    update();
}

void ProgressLine::clear()
{
    if (shown_) err_ << kClearLine << std::flush;
    shown_ = false;
}

std::string ProgressLine::text() const
{
    const std::size_t width = static_cast<std::size_t>(columns_ - 1);
    switch (stage_) {
    case Stage::Search: {
        const std::string start = "Searching ", end = "... " + counted(found_, "file") + " found";
        const std::size_t room = width > start.size() + end.size() ? width - start.size() - end.size() : 0;
        return head(start + shortened(printable(folder_), room) + end, width);
    }
    case Stage::Save: return head("Saving " + std::to_string(saved_) + "/" + std::to_string(toSave_), width);
    case Stage::Run: break;
    }
    // The run sets "Extracted " with no count before its first icon.
    const bool counting = extracted_.find_first_of("0123456789") != std::string::npos;
    return head(printable(status_ + "  " + (counting ? extracted_ + "  " : "") + std::to_string(total_) + "%"), width);
}

void ProgressLine::update()
{
    if (!enabled_) return;
    const auto now = clock_();
    if (lastDraw_ && now - *lastDraw_ < kRedrawInterval) return;
    lastDraw_ = now;
    err_ << kClearLine << text() << std::flush;
    shown_ = true;
}

} // namespace vextral::cli
