// The cursor groups of executables and resource files, read as cursor files.
//
// An RT_GROUP_CURSOR entry (14 bytes) is u16 width, u16 height (colour and
// mask, so twice the picture's), u16 planes, u16 bit count, u32 bytes in the
// resource and the u16 id of an RT_CURSOR, whose data is the hotspot (u16 x,
// u16 y) followed by the DIB. The entries become those of a cursor file: the
// width byte, the height byte (the group's halved), no colour count, the
// hotspot in place of planes and bit count, and the DIB as the image. That is
// the form `wrestool -x -t12` writes, except that wrestool's size field also
// counts the 4 hotspot bytes, which no cursor file holds.
#include "platform/IconDirectory.h"

#include "core/Bytes.h"

#include <cstring>

namespace vextral::platform {

std::shared_ptr<const IconDirectory> readCursorGroupDirectory(const ByteSource& file, const IconResourceTable& table,
                                                              std::uint64_t offset, std::uint64_t n)
{
    constexpr std::uint64_t kHotspotBytes = 4;
    const auto dir = file.bytes(offset + kIconDirHeader, n * kGroupDirEntry);
    if (!dir) return nullptr;
    DirectoryBuilder builder(n);
    for (std::uint64_t i = 0; i < n; ++i) {
        const std::uint8_t* e = dir->data() + i * kGroupDirEntry;
        std::uint8_t fields[8] = {static_cast<std::uint8_t>(le16(e)), static_cast<std::uint8_t>(le16(e + 2) / 2)};
        std::optional<ImageRange> range;
        const auto found = table.cursors.find(le16(e + 12));
        if (found != table.cursors.end()) {
            std::uint64_t size = found->second.size;
            // NE lengths are rounded up to the alignment unit; the group knows the real size.
            const std::uint32_t stated = le32(e + 8);
            if (table.sizesRoundedUp && stated > 0 && stated < size) size = stated;
            // A resource too short for a hotspot and a byte of image names nothing.
            std::uint8_t hotspot[kHotspotBytes];
            if (size > kHotspotBytes && file.read(found->second.offset, hotspot, sizeof hotspot)) {
                std::memcpy(fields + 4, hotspot, sizeof hotspot);
                range = ImageRange {found->second.offset + kHotspotBytes, size - kHotspotBytes};
            }
        }
        builder.add(fields, range, le16(e + 6));
    }
    return builder.finish();
}

} // namespace vextral::platform
