#pragma once

#include "core/ReaderLimits.h"

#include <cstddef>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace vextral::net {

// The file-type table of mime.types files: each line is a MIME type followed by
// the extensions (without dots) that carry it, separated by blanks or tabs;
// "#" starts a comment. A later entry for the same extension replaces an
// earlier one. Extensions match without regard to ASCII case.
class MimeTypeTable {
public:
    // What a table file may make it hold is bounded by limits (the mime
    // fields): real tables have short words and a few thousand entries.
    explicit MimeTypeTable(const ReaderLimits& limits = {}) : limits_(limits) {}

    // Adds the entries of one file's text. Lines that do not fit the shape are
    // skipped; overlong lines and words are ignored rather than stored.
    void parse(std::string_view text);
    // Reads and parses a file; a missing or unreadable file adds nothing.
    void parseFile(const std::string& path);
    // The type for an extension given with or without its leading dot; empty
    // when there is none.
    std::string lookup(std::string extension) const;
    std::size_t size() const { return types_.size(); }

    // The table the program uses: /etc/mime.types, then ~/.mime.types (so the
    // user's own entries win). Read once.
    static const MimeTypeTable& system();

private:
    ReaderLimits limits_;
    std::map<std::string, std::string> types_;
};

// The extension of a path for a type lookup: its text from the last "." in
// the file-name part, dot included (".bmp"); empty when there is none.
std::string contentTypeExtension(const std::string& path);

// The MIME type of a file by its extension, "application/octet-stream" when
// the path has no extension or the table does not know it.
std::string getContentType(const std::string& path, const MimeTypeTable& table);
std::string getContentType(const std::string& path); // the system table

} // namespace vextral::net
