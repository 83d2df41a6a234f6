#pragma once

#include "core/ReaderLimits.h"

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace vextral::settings {

// A settings file in the private-profile format:
//
//   [Section]
//   key=value
//
// Section and key names match without regard to letter case, and when either
// occurs twice the first occurrence counts. Blanks around names and values are
// not part of them; values are read up to 2047 characters. Lines of any other
// shape are kept but mean nothing. Both LF and CR LF line ends are read; a
// write keeps the file's own (LF for a new file), and its UTF-8 byte-order
// mark when it has one.
//
// Every write replaces the whole file at once (a temporary file in the same
// folder, then a rename), so a full disk or a crash never leaves half a file;
// a failure raises "Unable to write to <path>". Programs writing one file at
// the same time keep each other's changes: a write holds an exclusive flock()
// on "<path>.lock" beside the file (the rename puts a new file in place, so a
// lock on the file itself would be on the old one), reads the file again
// under it and applies only its own changes to what it finds.
class ProfileFile {
public:
    static constexpr std::size_t kMaxValue = 2047;

    explicit ProfileFile(std::string path) : path_(std::move(path)) {}
    const std::string& path() const { return path_; }

    // The file as read now; a missing or unreadable file reads as empty.
    class Snapshot {
    public:
        std::optional<std::string> value(const std::string& section, const std::string& key) const;
        // The value, or the default (its trailing blanks dropped) when missing.
        std::string readString(const std::string& section, const std::string& key, const std::string& def) const;
        // Decimal with an optional sign, or "0x"/"$" hexadecimal without one; the
        // default when missing or not a number.
        std::int32_t readInteger(const std::string& section, const std::string& key, std::int32_t def) const;
        bool readBool(const std::string& section, const std::string& key, bool def) const;
        // Every key line of the section, in the file's order, as key and value
        // (as value() gives them), each key as often as it occurs; empty when
        // the section is missing. One pass, for a section of many keys.
        std::vector<std::pair<std::string, std::string>> entries(const std::string& section) const;

    private:
        friend class ProfileFile;
        std::vector<std::string> lines_;
        bool crlf_ = false;
        bool bom_ = false;
    };
    // Only the first limits.profileFileBytes of the file are read.
    Snapshot read(const ReaderLimits& limits = {}) const;

    // Changes gathered and written as one replacement of the file: commit()
    // applies them, in their order, to the file as it is then.
    class Batch {
    public:
        explicit Batch(const ProfileFile& file) : file_(file) {}
        // Sets a key in place, or adds it at the end of its section (adding the section at the end of the file).
        void writeString(const std::string& section, const std::string& key, const std::string& value);
        void writeInteger(const std::string& section, const std::string& key, std::int32_t value);
        void writeBool(const std::string& section, const std::string& key, bool value);
        // Removes the section with all its keys.
        void eraseSection(const std::string& section);
        void commit();

    private:
        struct Change {
            std::string section;
            std::optional<std::string> key; // none: the section is removed
            std::string value;
        };
        const ProfileFile& file_;
        std::vector<Change> changes_;
    };

    void writeString(const std::string& section, const std::string& key, const std::string& value) const;
    void eraseSection(const std::string& section) const;

private:
    static void set(Snapshot& doc, const std::string& section, const std::string& key, const std::string& value);
    static void erase(Snapshot& doc, const std::string& section);
    void replace(const Snapshot& doc) const;
    std::string path_;
};

} // namespace vextral::settings
