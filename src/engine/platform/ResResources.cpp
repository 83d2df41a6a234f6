// The icon and cursor resources of compiled resource files (.res), as windres
// and rc write them for 32-bit Windows. The file is a sequence of entries,
// each starting on a 4-byte boundary:
//   u32 data size, u32 header size, TYPE, NAME, padding to 4 bytes,
//   u32 data version, u16 memory flags, u16 language, u32 version,
//   u32 characteristics; then the data, header size bytes from the entry's
//   start, padded to 4 bytes.
// TYPE and NAME are either 0xFFFF and a 16-bit ordinal or a NUL-terminated
// UTF-16LE string. The first entry is an empty one (data size 0, header size
// 32, type and name 0), which is how the file is recognised; the 16-bit form
// of the format has no such entry and is not read.
#include "platform/IconResources.h"

#include "core/Bytes.h"

#include <algorithm>
#include <set>
#include <utility>

namespace vextral::platform {

namespace {

constexpr std::uint8_t kEmptyEntry[16] = {0, 0, 0, 0, 32, 0, 0, 0, 0xFF, 0xFF, 0, 0, 0xFF, 0xFF, 0, 0};
// The sizes, two ordinals and the fixed fields: the smallest header there is.
constexpr std::uint64_t kSmallestHeader = 32;
constexpr std::uint64_t kFixedFields = 16;
// Headers are looked at up to this many bytes: room for two names of a
// thousand characters. An entry whose names run longer is passed over.
constexpr std::uint64_t kHeaderBytesRead = 4096;

struct ResId {
    bool named = false;
    std::uint16_t ordinal = 0;
    std::string name; // UTF-8
};

// The TYPE or NAME at pos of the header's bytes; pos moves past it. Nothing
// when it does not end within them.
std::optional<ResId> readId(const std::vector<std::uint8_t>& header, std::size_t& pos)
{
    if (pos + 2 > header.size()) return std::nullopt;
    ResId id;
    if (le16(header.data() + pos) == 0xFFFF) {
        if (pos + 4 > header.size()) return std::nullopt;
        id.ordinal = le16(header.data() + pos + 2);
        pos += 4;
        return id;
    }
    id.named = true;
    for (;; pos += 2) {
        if (pos + 2 > header.size()) return std::nullopt;
        const std::uint16_t c = le16(header.data() + pos);
        if (c == 0) break;
        if (c < 0x80) {
            id.name += static_cast<char>(c);
        } else if (c < 0x800) {
            id.name += static_cast<char>(0xC0 | (c >> 6));
            id.name += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            // Surrogate halves come out as their own code points: names are only shown.
            id.name += static_cast<char>(0xE0 | (c >> 12));
            id.name += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            id.name += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    pos += 2;
    return id;
}

} // namespace

bool readResResources(const ByteSource& file, IconResourceTable& table, const ReaderLimits& limits)
{
    std::uint8_t first[sizeof kEmptyEntry];
    if (!file.read(0, first, sizeof first) || !std::equal(first, first + sizeof first, kEmptyEntry)) return false;
    if (!file.contains(0, kSmallestHeader)) return false;

    // The first entry of each group name wins, as the first language does in
    // an executable; so do the images' first entries.
    std::set<std::pair<bool, std::string>> groupsSeen, cursorGroupsSeen;
    std::uint64_t pos = kSmallestHeader;
    // Every entry takes at least 32 bytes, so the walk moves on each time;
    // an entry that does not fit the file ends it, keeping those before.
    // The empty first entry counts as one.
    for (std::uint32_t entries = 1; entries < limits.resEntries && pos < file.size(); ++entries) {
        std::uint8_t sizes[8];
        if (!file.read(pos, sizes, sizeof sizes)) break;
        const std::uint64_t dataSize = le32(sizes);
        const std::uint64_t headerSize = le32(sizes + 4);
        if (headerSize < kSmallestHeader || !file.contains(pos, headerSize + dataSize)) break;
        const std::uint64_t data = pos + headerSize;
        const std::uint64_t next = (data + dataSize + 3) & ~std::uint64_t {3};
        const auto header = file.bytes(pos, std::min(headerSize, kHeaderBytesRead));
        if (!header) break;
        std::size_t at = 8;
        const auto type = readId(*header, at);
        const auto name = type ? readId(*header, at) : std::nullopt;
        pos = next;
        if (!name) continue; // names longer than we look at
        const std::uint64_t fixed = ((at + 3) & ~std::size_t {3}) + kFixedFields;
        if (fixed > headerSize) break; // the names run into the data: a damaged file
        if (type->named) continue;

        const ResourceLocation where {data, dataSize};
        const auto label = [&] { return name->named ? name->name : "#" + std::to_string(name->ordinal); };
        switch (type->ordinal) {
        case kGroupIconTypeId:
            if (groupsSeen.emplace(name->named, label()).second) table.groups.push_back({label(), where});
            break;
        case kGroupCursorTypeId:
            if (cursorGroupsSeen.emplace(name->named, label()).second) table.cursorGroups.push_back({label(), where});
            break;
        case kIconTypeId:
            if (!name->named) table.icons.emplace(name->ordinal, where);
            break;
        case kCursorTypeId:
            if (!name->named) table.cursors.emplace(name->ordinal, where);
            break;
        default: break;
        }
    }
    return true;
}

} // namespace vextral::platform
