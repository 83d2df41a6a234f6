// The icon and cursor resources of 16-bit Windows executables (NE), which is also the
// form of .icl and .nil icon libraries.
//
// The resource table (its offset is at 0x24 of the NE header, relative to that
// header) starts with an alignment shift, then holds type records until a type
// id of 0:
//   type record: u16 type id (0x8000 | id for numbered types), u16 count, u32 reserved
//   count resource records: u16 offset and u16 length (both in alignment units),
//                           u16 flags, u16 id (0x8000 | id, or the offset of a
//                           length-prefixed name from the table start), u32 reserved
#include "platform/IconResources.h"

#include "core/Bytes.h"
#include <algorithm>

namespace vextral::platform {

namespace {

constexpr std::uint16_t kNeIcon = 0x8000 | kIconTypeId;
constexpr std::uint16_t kNeGroupIcon = 0x8000 | kGroupIconTypeId;
constexpr std::uint16_t kNeCursor = 0x8000 | kCursorTypeId;
constexpr std::uint16_t kNeGroupCursor = 0x8000 | kGroupCursorTypeId;

// A resource's name; names are charged their bytes against nameBytesLeft
// (the file's size to start with), and once it runs out the rest are "?", so
// thousands of records naming one string cannot copy it thousands of times.
std::string resourceLabel(const ByteSource& file, std::uint64_t table, std::uint16_t id, std::uint64_t& nameBytesLeft)
{
    if (id & 0x8000) return "#" + std::to_string(id & 0x7FFF);
    const auto length = file.u8(table + id);
    if (!length || *length > nameBytesLeft) return "?";
    nameBytesLeft -= *length;
    const auto text = file.bytes(table + id + 1, *length);
    if (!text) return "?";
    std::string out;
    for (std::uint8_t c : *text) out += c < 0x80 ? static_cast<char>(c) : '?';
    return out;
}

} // namespace

bool readNeResources(const ByteSource& file, IconResourceTable& table, const ReaderLimits& limits)
{
    std::uint8_t dos[64];
    if (!file.read(0, dos, sizeof dos) || dos[0] != 'M' || dos[1] != 'Z') return false;
    const std::uint64_t ne = le32(dos + 0x3C);
    std::uint8_t header[0x28];
    if (!file.read(ne, header, sizeof header) || header[0] != 'N' || header[1] != 'E') return false;
    table.sizesRoundedUp = true;
    const std::uint16_t resourceTable = le16(header + 0x24);
    const std::uint16_t residentNames = le16(header + 0x26);
    if (resourceTable == residentNames) return true; // no resources
    const std::uint64_t base = ne + resourceTable;
    const auto shift = file.u16(base);
    if (!shift || *shift > 24) return true;

    std::uint64_t pos = base + 2;
    std::uint32_t seen = 0;
    std::uint64_t nameBytesLeft = file.size();
    while (seen < limits.neResources) {
        std::uint8_t type[8];
        if (!file.read(pos, type, 2)) break;
        const std::uint16_t typeId = le16(type);
        if (typeId == 0) break;
        if (!file.read(pos, type, sizeof type)) break;
        const std::uint16_t count = le16(type + 2);
        pos += 8;
        const auto records = file.bytes(pos, std::uint64_t {count} * 12);
        if (!records) break;
        pos += std::uint64_t {count} * 12;
        seen += count;
        const bool group = typeId == kNeGroupIcon || typeId == kNeGroupCursor;
        if (!group && typeId != kNeIcon && typeId != kNeCursor) continue;
        auto& groups = typeId == kNeGroupIcon ? table.groups : table.cursorGroups;
        auto& images = typeId == kNeIcon ? table.icons : table.cursors;
        for (std::uint32_t i = 0; i < count; ++i) {
            const std::uint8_t* r = records->data() + i * 12;
            const std::uint64_t offset = std::uint64_t {le16(r)} << *shift;
            std::uint64_t length = std::uint64_t {le16(r + 2)} << *shift;
            const std::uint16_t id = le16(r + 6);
            // The last resource's padding may run past the end of the file.
            std::optional<ResourceLocation> where;
            if (offset < file.size()) {
                length = std::min(length, file.size() - offset);
                where = ResourceLocation {offset, length};
            }
            if (group) {
                groups.push_back({resourceLabel(file, base, id, nameBytesLeft), where});
            } else if ((id & 0x8000) && where) {
                images.emplace(static_cast<std::uint16_t>(id & 0x7FFF), *where);
            }
        }
    }
    return true;
}

} // namespace vextral::platform
