// The icon and cursor resources of 32- and 64-bit Windows executables (PE32 and PE32+).
//
// The resource directory is a tree of three fixed levels (type, name, language)
// whose offsets are relative to the start of the resource data; the leaves give
// RVAs, which the section table maps to file offsets. The walk never goes deeper
// than three levels, so a directory that points back at itself cannot loop.

#include "platform/IconResources.h"

#include "core/Bytes.h"
#include <algorithm>

namespace vextral::platform {

namespace {

struct Section {
    std::uint32_t virtualAddress;
    std::uint32_t virtualSize;
    std::uint32_t rawSize;
    std::uint32_t rawOffset;
};

struct DirEntry {
    std::uint32_t name; // id, or offset of the name string when named
    bool named;
    std::uint32_t target; // offset of a subdirectory or of a data entry
    bool isDirectory;
};

class PeImage {
public:
    // No directory in a sane file comes close to maxEntries entries.
    PeImage(const ByteSource& file, std::uint32_t maxEntries) : file_(file), maxEntries_(maxEntries) {}

    bool open()
    {
        std::uint8_t dos[64];
        if (!file_.read(0, dos, sizeof dos) || dos[0] != 'M' || dos[1] != 'Z') return false;
        const std::uint64_t pe = le32(dos + 0x3C);
        std::uint8_t coff[24];
        if (!file_.read(pe, coff, sizeof coff) || coff[0] != 'P' || coff[1] != 'E' || coff[2] != 0 || coff[3] != 0)
            return false;
        const std::uint16_t sectionCount = le16(coff + 6);
        const std::uint16_t optionalSize = le16(coff + 20);
        const std::uint64_t opt = pe + 24;
        const auto magic = file_.u16(opt);
        if (!magic) return false;
        std::uint64_t countField, dirs;
        if (*magic == 0x10B) {
            countField = 92;
            dirs = 96;
        } else if (*magic == 0x20B) {
            countField = 108;
            dirs = 112;
        } else {
            return false;
        }
        headersSize_ = file_.u32(opt + 60).value_or(0);

        std::vector<std::uint8_t> table;
        if (auto t = file_.bytes(opt + optionalSize, std::uint64_t {sectionCount} * 40)) table = std::move(*t);
        for (std::size_t i = 0; i + 40 <= table.size(); i += 40) {
            const std::uint8_t* s = table.data() + i;
            sections_.push_back({le32(s + 12), le32(s + 8), le32(s + 16), le32(s + 20)});
        }

        // A file without a resource directory is still a PE file: it has no icons.
        const auto rvaCount = file_.u32(opt + countField);
        if (!rvaCount || *rvaCount <= 2 || dirs + 3 * 8 > optionalSize) return true;
        resourceRva_ = file_.u32(opt + dirs + 16).value_or(0);
        return true;
    }

    bool hasResources() const { return resourceRva_ != 0; }

    std::optional<std::uint64_t> fileOffset(std::uint64_t rva, std::uint64_t length) const
    {
        for (const Section& s : sections_) {
            const std::uint64_t span = std::max(s.virtualSize, s.rawSize);
            if (rva >= s.virtualAddress && rva - s.virtualAddress < span) {
                const std::uint64_t within = rva - s.virtualAddress;
                if (within > s.rawSize || length > s.rawSize - within) return std::nullopt;
                const std::uint64_t offset = std::uint64_t {s.rawOffset} + within;
                if (!file_.contains(offset, length)) return std::nullopt;
                return offset;
            }
        }
        if (rva < headersSize_ && file_.contains(rva, length)) return rva;
        return std::nullopt;
    }

    // Reads the directory at offset (relative to the resource data); up to
    // limit entries, in stored order (named entries first, then ids).
    std::vector<DirEntry> directory(std::uint32_t offset, std::uint32_t limit = ~std::uint32_t {0}) const
    {
        std::vector<DirEntry> entries;
        const auto head = fileOffset(std::uint64_t {resourceRva_} + offset, 16);
        if (!head) return entries;
        std::uint8_t h[16];
        if (!file_.read(*head, h, sizeof h)) return entries;
        std::uint32_t n = std::uint32_t {le16(h + 12)} + le16(h + 14);
        n = std::min({n, limit, maxEntries_});
        const auto at = fileOffset(std::uint64_t {resourceRva_} + offset + 16, std::uint64_t {n} * 8);
        if (!at) return entries;
        const auto raw = file_.bytes(*at, std::uint64_t {n} * 8);
        if (!raw) return entries;
        entries.reserve(n);
        for (std::uint32_t i = 0; i < n; ++i) {
            const std::uint8_t* e = raw->data() + i * 8;
            const std::uint32_t name = le32(e);
            const std::uint32_t target = le32(e + 4);
            entries.push_back(
                {name & 0x7FFFFFFFu, (name & 0x80000000u) != 0, target & 0x7FFFFFFFu, (target & 0x80000000u) != 0});
        }
        return entries;
    }

    // Follows a name-level entry to its first language and on to the data.
    std::optional<ResourceLocation> firstLanguageData(const DirEntry& nameEntry) const
    {
        if (!nameEntry.isDirectory) return std::nullopt;
        const auto languages = directory(nameEntry.target, 1);
        if (languages.empty() || languages[0].isDirectory) return std::nullopt;
        const auto at = fileOffset(std::uint64_t {resourceRva_} + languages[0].target, 16);
        if (!at) return std::nullopt;
        std::uint8_t d[8];
        if (!file_.read(*at, d, sizeof d)) return std::nullopt;
        const std::uint32_t size = le32(d + 4);
        const auto data = fileOffset(le32(d), size);
        if (!data) return std::nullopt;
        return ResourceLocation {*data, size};
    }

    // The entry's name. Names are charged their stored bytes against the size
    // of the file: once the names read add up to more, the rest are "?", so
    // thousands of entries naming one long string cannot copy it thousands of
    // times. The names of a real file are stored once each and always fit.
    std::string name(const DirEntry& entry)
    {
        if (!entry.named) return "#" + std::to_string(entry.name);
        const auto at = fileOffset(std::uint64_t {resourceRva_} + entry.name, 2);
        if (!at) return "?";
        const std::uint16_t length = file_.u16(*at).value_or(0);
        if (std::uint64_t {length} * 2 > nameBytesLeft_) return "?";
        nameBytesLeft_ -= std::uint64_t {length} * 2;
        const auto text = file_.bytes(*at + 2, std::uint64_t {length} * 2);
        if (!text) return "?";
        std::string out;
        for (std::size_t i = 0; i < length; ++i) {
            const std::uint16_t c = le16(text->data() + 2 * i);
            if (c < 0x80) {
                out += static_cast<char>(c);
            } else if (c < 0x800) {
                out += static_cast<char>(0xC0 | (c >> 6));
                out += static_cast<char>(0x80 | (c & 0x3F));
            } else {
                // Surrogate halves come out as their own code points: names are only shown.
                out += static_cast<char>(0xE0 | (c >> 12));
                out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
                out += static_cast<char>(0x80 | (c & 0x3F));
            }
        }
        return out;
    }

private:
    const ByteSource& file_;
    std::uint32_t maxEntries_;
    std::vector<Section> sections_;
    std::uint32_t headersSize_ = 0;
    std::uint32_t resourceRva_ = 0;
    std::uint64_t nameBytesLeft_ = file_.size();
};

} // namespace

bool readPeResources(const ByteSource& file, IconResourceTable& table, const ReaderLimits& limits)
{
    PeImage pe(file, limits.peDirectoryEntries);
    if (!pe.open()) return false;
    if (!pe.hasResources()) return true;
    // A type listed twice (only in a crafted file) is read the first time.
    for (const DirEntry& type : pe.directory(0)) {
        if (type.named || !type.isDirectory) continue;
        if (type.name == kGroupIconTypeId || type.name == kGroupCursorTypeId) {
            auto& groups = type.name == kGroupIconTypeId ? table.groups : table.cursorGroups;
            if (!groups.empty()) continue;
            for (const DirEntry& group : pe.directory(type.target)) {
                groups.push_back({pe.name(group), pe.firstLanguageData(group)});
            }
        } else if (type.name == kIconTypeId || type.name == kCursorTypeId) {
            auto& images = type.name == kIconTypeId ? table.icons : table.cursors;
            if (!images.empty()) continue;
            for (const DirEntry& image : pe.directory(type.target)) {
                if (image.named || image.name > 0xFFFF) continue;
                const auto id = static_cast<std::uint16_t>(image.name);
                if (images.contains(id)) continue;
                if (auto data = pe.firstLanguageData(image)) images.emplace(id, *data);
            }
        }
    }
    return true;
}

} // namespace vextral::platform
