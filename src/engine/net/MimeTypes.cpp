#include "net/MimeTypes.h"

#include <cstdlib>
#include <fstream>

#include "core/FileName.h"
#include "core/Text.h"

namespace vextral::net {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

// A MIME type as a header may carry it: two names of letters, digits and
// "!#$&-^_.+" around one "/".
bool isMimeType(std::string_view word, std::size_t maxWord)
{
    const std::size_t slash = word.find('/');
    if (word.size() > maxWord || slash == 0 || slash == std::string_view::npos || slash + 1 == word.size())
        return false;
    for (std::size_t i = 0; i < word.size(); ++i) {
        const char c = word[i];
        const bool name = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                          std::string_view("!#$&-^_.+").find(c) != std::string_view::npos;
        if (!name && i != slash) return false;
    }
    return true;
}

} // namespace

void MimeTypeTable::parse(std::string_view text)
{
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t stop = text.find('\n', start);
        if (stop == std::string_view::npos) stop = text.size();
        std::string_view line = text.substr(start, stop - start);
        start = stop + 1;
        if (line.size() > limits_.mimeLine) continue;
        if (const std::size_t hash = line.find('#'); hash != std::string_view::npos) line = line.substr(0, hash);

        std::string type;
        std::size_t i = 0;
        bool first = true;
        while (i < line.size()) {
            while (i < line.size() && isBlank(line[i])) ++i;
            const std::size_t begin = i;
            while (i < line.size() && !isBlank(line[i])) ++i;
            if (i == begin) break;
            const std::string_view word = line.substr(begin, i - begin);
            if (first) {
                first = false;
                if (!isMimeType(word, limits_.mimeWord)) break;
                type = std::string(word);
                continue;
            }
            if (word.size() > limits_.mimeWord) continue;
            std::string extension = lowerAscii(std::string(word));
            if (extension.front() == '.') extension.erase(0, 1);
            if (extension.empty()) continue;
            if (types_.size() >= limits_.mimeEntries && !types_.count(extension)) continue;
            types_[extension] = type;
        }
    }
}

void MimeTypeTable::parseFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) return;
    std::string text(limits_.mimeFileBytes, '\0');
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<std::size_t>(in.gcount()));
    parse(text);
}

std::string MimeTypeTable::lookup(std::string extension) const
{
    if (!extension.empty() && extension.front() == '.') extension.erase(0, 1);
    const auto found = types_.find(lowerAscii(std::move(extension)));
    return found == types_.end() ? std::string() : found->second;
}

const MimeTypeTable& MimeTypeTable::system()
{
    static const MimeTypeTable table = [] {
        MimeTypeTable t;
        t.parseFile("/etc/mime.types");
        if (const char* home = std::getenv("HOME"); home && *home) t.parseFile(std::string(home) + "/.mime.types");
        return t;
    }();
    return table;
}

std::string contentTypeExtension(const std::string& path)
{
    const std::string name = fileNamePart(path);
    const std::size_t dot = name.rfind('.');
    return dot == std::string::npos ? std::string() : name.substr(dot);
}

std::string getContentType(const std::string& path, const MimeTypeTable& table)
{
    const std::string extension = contentTypeExtension(path);
    std::string type = extension.size() > 1 ? table.lookup(extension) : std::string();
    return type.empty() ? "application/octet-stream" : type;
}

std::string getContentType(const std::string& path) { return getContentType(path, MimeTypeTable::system()); }

} // namespace vextral::net
