#include "settings/ProfileFile.h"

#include "core/Error.h"
#include "core/FileDescriptor.h"
#include "core/ReplacingFile.h"
#include "core/Text.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vextral::settings {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::string trim(const std::string& text)
{
    std::size_t b = 0, e = text.size();
    while (b < e && isBlank(text[b])) ++b;
    while (e > b && isBlank(text[e - 1])) --e;
    return text.substr(b, e - b);
}

// The section a line opens, if it is a section line.
std::optional<std::string> sectionOf(const std::string& line)
{
    std::size_t i = 0;
    while (i < line.size() && isBlank(line[i])) ++i;
    if (i >= line.size() || line[i] != '[') return std::nullopt;
    const std::size_t close = line.find(']', i + 1);
    return trim(line.substr(i + 1, close == std::string::npos ? std::string::npos : close - i - 1));
}

// The key of a key line, if it is one.
std::optional<std::string> keyOf(const std::string& line)
{
    const std::size_t eq = line.find('=');
    if (eq == std::string::npos) return std::nullopt;
    return trim(line.substr(0, eq));
}

struct Range {
    std::size_t header; // index of the section line
    std::size_t end;    // one past the section's last line
};

std::optional<Range> findSection(const std::vector<std::string>& lines, const std::string& section)
{
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const auto name = sectionOf(lines[i]);
        if (!name || !sameName(*name, section)) continue;
        std::size_t end = i + 1;
        while (end < lines.size() && !sectionOf(lines[end])) ++end;
        return Range {i, end};
    }
    return std::nullopt;
}

std::optional<std::size_t> findKey(const std::vector<std::string>& lines, const Range& r, const std::string& key)
{
    for (std::size_t i = r.header + 1; i < r.end; ++i) {
        const auto name = keyOf(lines[i]);
        if (name && sameName(*name, key)) return i;
    }
    return std::nullopt;
}

// The file's text; empty when it is missing, not a regular file or unreadable.
// Only the first limit bytes count: no settings file comes near them.
std::string readSettingsText(const std::string& path, std::size_t limit)
{
    std::string text;
    const FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!fd) return text;
    struct stat st {};
    if (::fstat(fd.get(), &st) == 0 && S_ISREG(st.st_mode)) {
        char buffer[65536];
        ssize_t n;
        while (text.size() < limit &&
               ((n = ::read(fd.get(), buffer, sizeof buffer)) > 0 || (n < 0 && errno == EINTR))) {
            if (n > 0) text.append(buffer, static_cast<std::size_t>(n));
        }
        if (text.size() > limit) text.resize(limit);
    }
    return text;
}

// Waits for, then holds, the exclusive lock of the writers of path: an
// flock() on "<path>.lock", made when missing and left in place (removing it
// would let a writer lock a name another has just replaced). The lock is on
// a file of its own because each write renames a new file over path. A lock
// file that cannot be opened (a folder that cannot be written, where the
// write fails anyway) or that is no regular file leaves the write unlocked.
FileDescriptor lockBeside(const std::string& path)
{
    const std::string name = path + ".lock";
    const int flags = O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK;
    FileDescriptor fd(::open(name.c_str(), O_RDWR | O_CREAT | flags, 0666));
    if (!fd) fd.reset(::open(name.c_str(), O_RDONLY | flags));
    struct stat st {};
    if (!fd || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return {};
    while (::flock(fd.get(), LOCK_EX) != 0) {
        if (errno != EINTR) return {};
    }
    return fd;
}

} // namespace

std::optional<std::string> ProfileFile::Snapshot::value(const std::string& section, const std::string& key) const
{
    const auto range = findSection(lines_, section);
    if (!range) return std::nullopt;
    const auto at = findKey(lines_, *range, key);
    if (!at) return std::nullopt;
    const std::string& line = lines_[*at];
    std::string v = trim(line.substr(line.find('=') + 1));
    if (v.size() > kMaxValue) v.resize(kMaxValue);
    return v;
}

std::vector<std::pair<std::string, std::string>> ProfileFile::Snapshot::entries(const std::string& section) const
{
    std::vector<std::pair<std::string, std::string>> found;
    const auto range = findSection(lines_, section);
    if (!range) return found;
    for (std::size_t i = range->header + 1; i < range->end; ++i) {
        const auto name = keyOf(lines_[i]);
        if (!name) continue;
        std::string v = trim(lines_[i].substr(lines_[i].find('=') + 1));
        if (v.size() > kMaxValue) v.resize(kMaxValue);
        found.emplace_back(*name, std::move(v));
    }
    return found;
}

std::string ProfileFile::Snapshot::readString(const std::string& section, const std::string& key,
                                              const std::string& def) const
{
    if (auto v = value(section, key)) return *v;
    std::string d = def;
    while (!d.empty() && isBlank(d.back())) d.pop_back();
    return d;
}

std::int32_t ProfileFile::Snapshot::readInteger(const std::string& section, const std::string& key,
                                                std::int32_t def) const
{
    const auto v = value(section, key);
    if (!v) return def;
    // A sign goes with decimal digits only: "-0x10" and "-$10" are no numbers here.
    const std::string& t = *v;
    if (t.size() > 1 && (t[0] == '-' || t[0] == '+') &&
        (t[1] == '$' || (t[1] == '0' && t.size() > 2 && (t[2] == 'x' || t[2] == 'X')))) {
        return def;
    }
    return parseInteger(t).value_or(def);
}

bool ProfileFile::Snapshot::readBool(const std::string& section, const std::string& key, bool def) const
{
    return readInteger(section, key, def ? 1 : 0) != 0;
}

ProfileFile::Snapshot ProfileFile::read(const ReaderLimits& limits) const
{
    Snapshot doc;
    const std::string text = readSettingsText(path_, limits.profileFileBytes);
    // A UTF-8 byte-order mark (editors add one) is not part of the first line;
    // a rewrite puts it back.
    static constexpr char kBom[] = "\xEF\xBB\xBF";
    doc.bom_ = text.compare(0, 3, kBom) == 0;
    std::size_t start = doc.bom_ ? 3 : 0;
    bool first = true;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        const bool cr = !line.empty() && line.back() == '\r';
        if (cr) line.pop_back();
        if (first && end < text.size()) doc.crlf_ = cr;
        first = false;
        doc.lines_.push_back(std::move(line));
        start = end + 1;
    }
    return doc;
}

void ProfileFile::Batch::writeString(const std::string& section, const std::string& key, const std::string& value)
{
    changes_.push_back({section, key, value});
}

void ProfileFile::set(Snapshot& doc, const std::string& section, const std::string& key, const std::string& value)
{
    std::vector<std::string>& lines = doc.lines_;
    const std::string line = key + "=" + value;
    const auto range = findSection(lines, section);
    if (!range) {
        lines.push_back("[" + section + "]");
        lines.push_back(line);
        return;
    }
    if (const auto at = findKey(lines, *range, key)) {
        lines[*at] = line;
        return;
    }
    // After the section's last non-blank line.
    std::size_t at = range->end;
    while (at > range->header + 1 && trim(lines[at - 1]).empty()) --at;
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(at), line);
}

void ProfileFile::Batch::writeInteger(const std::string& section, const std::string& key, std::int32_t value)
{
    writeString(section, key, std::to_string(value));
}

void ProfileFile::Batch::writeBool(const std::string& section, const std::string& key, bool value)
{
    writeString(section, key, value ? "1" : "0");
}

void ProfileFile::Batch::eraseSection(const std::string& section) { changes_.push_back({section, std::nullopt, {}}); }

void ProfileFile::erase(Snapshot& doc, const std::string& section)
{
    std::vector<std::string>& lines = doc.lines_;
    if (const auto range = findSection(lines, section)) {
        lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(range->header),
                    lines.begin() + static_cast<std::ptrdiff_t>(range->end));
    }
}

void ProfileFile::Batch::commit()
{
    // Another program may have written the file since this one read it: the
    // changes go onto the file as it is under the lock, so both keep theirs.
    const FileDescriptor lock = lockBeside(file_.path());
    Snapshot doc = file_.read();
    for (const Change& change : changes_) {
        if (change.key) {
            set(doc, change.section, *change.key, change.value);
        } else {
            erase(doc, change.section);
        }
    }
    file_.replace(doc);
}

void ProfileFile::writeString(const std::string& section, const std::string& key, const std::string& value) const
{
    Batch batch(*this);
    batch.writeString(section, key, value);
    batch.commit();
}

void ProfileFile::eraseSection(const std::string& section) const
{
    Batch batch(*this);
    batch.eraseSection(section);
    batch.commit();
}

void ProfileFile::replace(const Snapshot& doc) const
{
    const Error failure("Unable to write to " + path_);
    struct stat st {};
    const bool exists = ::stat(path_.c_str(), &st) == 0;
    if (exists && (!S_ISREG(st.st_mode) || ::access(path_.c_str(), W_OK) != 0)) throw failure;

    std::string text = doc.bom_ ? "\xEF\xBB\xBF" : "";
    // Each line ends as the document's do, except one whose text ends with a
    // carriage return (a stray one before a CR LF ending, or in a value
    // written): it ends with CR LF, so the reader, which takes one CR off,
    // gives back the text as it was.
    for (const std::string& line : doc.lines_)
        text += line + (doc.crlf_ || (!line.empty() && line.back() == '\r') ? "\r\n" : "\n");

    try {
        writeFileAtomically(path_, text, true);
    } catch (const Error&) {
        throw failure;
    }
}

} // namespace vextral::settings
