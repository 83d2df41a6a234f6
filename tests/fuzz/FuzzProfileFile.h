#pragma once

#include "core/Text.h"
#include "settings/ProfileFile.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>
#include <unistd.h>
#include <vector>

namespace vextral::fuzz {

// The file the inputs are written to: one per process, in $TMPDIR (else /tmp),
// removed when the process ends.
inline const std::string& profileFuzzPath()
{
    static const std::string path = [] {
        const char* tmp = std::getenv("TMPDIR");
        std::string name = std::string(tmp && *tmp ? tmp : "/tmp") + "/vextral-fuzz-ini-XXXXXX";
        const int fd = ::mkstemp(name.data());
        if (fd >= 0) ::close(fd);
        static const struct Remove {
            std::string name;
            ~Remove() { ::unlink(name.c_str()); }
        } remove {name};
        return name;
    }();
    return path;
}

// An input is the text of an INI file (update.ini comes from the network):
// it is read, every value asked for as text, integer and flag, and two keys
// are written through one batch: one into the first section the file names,
// one into a section of its own. Both read back as written and every other
// value the file had keeps its value. A wrong result stops the process on
// purpose. Shared by the fuzzer and by the test that replays the saved corpus.
inline std::size_t exerciseProfileFile(const std::uint8_t* data, std::size_t size)
{
    const std::string& path = profileFuzzPath();
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    const settings::ProfileFile file(path);
    const auto before = file.read();

    // The sections and keys the text names, by the reader's own rules.
    struct Entry {
        std::string section, key;
        std::optional<std::string> value;
    };
    std::vector<Entry> entries;
    std::optional<std::string> section, firstSection, firstKey;
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::size_t start = 0;
    std::size_t touched = 0;
    while (start < text.size() && entries.size() < 200) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::size_t i = 0;
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
        if (i < line.size() && line[i] == '[') {
            const std::size_t close = line.find(']', i + 1);
            std::string name = line.substr(i + 1, close == std::string::npos ? std::string::npos : close - i - 1);
            while (!name.empty() && (name.front() == ' ' || name.front() == '\t')) name.erase(0, 1);
            while (!name.empty() && (name.back() == ' ' || name.back() == '\t')) name.pop_back();
            section = name;
            if (!firstSection) firstSection = name;
            continue;
        }
        const std::size_t eq = line.find('=');
        if (!section || eq == std::string::npos) continue;
        std::string key = line.substr(0, eq);
        while (!key.empty() && (key.front() == ' ' || key.front() == '\t')) key.erase(0, 1);
        while (!key.empty() && (key.back() == ' ' || key.back() == '\t')) key.pop_back();
        if (*section == firstSection && !firstKey) firstKey = key;
        // (A key of a later section of the same name is not there: the first
        // section counts.)
        const auto value = before.value(*section, key);
        if (value) {
            if (value->size() > settings::ProfileFile::kMaxValue) __builtin_trap();
            touched += value->size();
            touched += static_cast<std::size_t>(before.readInteger(*section, key, 7) & 1);
            touched += before.readBool(*section, key, false) ? 1 : 0;
        }
        entries.push_back({*section, key, value});
    }

    const auto same = [](const std::string& a, const std::string& b) { return sameName(a, b); };
    settings::ProfileFile::Batch batch(file);
    const std::string own = "Fuzz Section";
    batch.writeString(own, "Written", "own value");
    const bool inFirst = firstSection && !same(*firstSection, own);
    const std::string key = firstKey ? *firstKey : std::string("Added");
    if (inFirst) batch.writeInteger(*firstSection, key, 12345);
    batch.commit();

    const auto after = file.read();
    if (after.readString(own, "Written", "") != "own value") __builtin_trap();
    if (inFirst && after.readInteger(*firstSection, key, 0) != 12345) __builtin_trap();
    for (const Entry& e : entries) {
        const bool rewritten = (same(e.section, own) && same(e.key, "Written")) ||
                               (inFirst && same(e.section, *firstSection) && same(e.key, key));
        if (rewritten) continue;
        if (after.value(e.section, e.key) != before.value(e.section, e.key)) __builtin_trap();
    }
    return touched;
}

} // namespace vextral::fuzz
