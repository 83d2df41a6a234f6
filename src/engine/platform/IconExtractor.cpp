#include "platform/IconExtractor.h"

#include "core/Bytes.h"
#include "platform/IconResources.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace vextral::platform {

using codecs::decodeBitmapFile;
using codecs::decodeIconImage;
using codecs::ImageInfo;
using codecs::probeBitmapFile;
using codecs::probeIconImage;

namespace {

constexpr std::size_t kIconDirHeader = 6;
constexpr std::size_t kIconDirEntry = 16;
constexpr std::size_t kGroupDirEntry = 14;
// Enough for any image header: the largest DIB header with its masks.
constexpr std::uint64_t kProbeBytes = 256;

bool looksLikeIconDirectory(const ByteSource& s)
{
    std::uint8_t h[kIconDirHeader];
    if (!s.read(0, h, sizeof h)) return false;
    const std::uint16_t type = le16(h + 2);
    return le16(h) == 0 && (type == 1 || type == 2) && le16(h + 4) >= 1 && s.size() >= kIconDirHeader + kIconDirEntry;
}

// Windows' choice of the large icon: an image of exactly 32 x 32 with the most
// colours; failing that the one nearest in size, ties going to the larger and
// then to the deeper one.
bool betterForLargeIcon(const ImageInfo& a, const ImageInfo& b)
{
    const bool a32 = a.width == Icon::kSize && a.height == Icon::kSize;
    const bool b32 = b.width == Icon::kSize && b.height == Icon::kSize;
    if (a32 != b32) return a32;
    if (a32) return a.bits > b.bits;
    const int da = std::abs(a.width - Icon::kSize) + std::abs(a.height - Icon::kSize);
    const int db = std::abs(b.width - Icon::kSize) + std::abs(b.height - Icon::kSize);
    if (da != db) return da < db;
    const long long areaA = static_cast<long long>(a.width) * a.height;
    const long long areaB = static_cast<long long>(b.width) * b.height;
    if (areaA != areaB) return areaA > areaB;
    return a.bits > b.bits;
}

} // namespace

const char* iconFileKindName(IconFileKind kind)
{
    switch (kind) {
    case IconFileKind::Pe: return "PE";
    case IconFileKind::Ne: return "NE";
    case IconFileKind::Ico: return "ICO";
    case IconFileKind::Cur: return "CUR";
    case IconFileKind::Ani: return "ANI";
    case IconFileKind::Bmp: return "BMP";
    case IconFileKind::None: break;
    }
    return "none";
}

IconSource IconSource::open(const std::string& path)
{
    std::string error;
    auto file = FileByteSource::open(path, error);
    if (!file) {
        IconSource source;
        source.error_ = error.empty() ? "cannot be read" : error;
        return source;
    }
    return fromSource(std::move(file));
}

IconSource IconSource::fromBytes(std::vector<std::uint8_t> bytes)
{
    return fromSource(std::make_shared<MemoryByteSource>(std::move(bytes)));
}

IconSource IconSource::fromSource(std::shared_ptr<const ByteSource> source)
{
    IconSource s;
    s.source_ = std::move(source);
    s.detect();
    return s;
}

void IconSource::detect()
{
    std::uint8_t magic[12] = {};
    const std::size_t have = static_cast<std::size_t>(std::min<std::uint64_t>(source_->size(), sizeof magic));
    if (have < 2 || !source_->read(0, magic, have)) return;

    if (magic[0] == 'M' && magic[1] == 'Z') {
        IconResourceTable table;
        if (readPeResources(*source_, table)) {
            kind_ = IconFileKind::Pe;
        } else if (readNeResources(*source_, table)) {
            kind_ = IconFileKind::Ne;
        } else {
            return; // a DOS program
        }
        readGroups(table);
        return;
    }
    if (looksLikeIconDirectory(*source_)) {
        kind_ = le16(magic + 2) == 2 ? IconFileKind::Cur : IconFileKind::Ico;
        IconEntry entry;
        readIconDirectory(nullptr, entry);
        icons_.push_back(std::move(entry));
        return;
    }
    if (have == 12 && std::memcmp(magic, "RIFF", 4) == 0 && std::memcmp(magic + 8, "ACON", 4) == 0) {
        readAni();
        return;
    }
    if (magic[0] == 'B' && magic[1] == 'M' && probeBitmapFile(*source_)) {
        kind_ = IconFileKind::Bmp;
        icons_.push_back({});
    }
}

bool IconSource::readIconDirectory(std::shared_ptr<const ByteSource> stream, IconEntry& entry) const
{
    const ByteSource& s = stream ? *stream : *source_;
    const auto count = s.u16(4);
    if (!count) return false;
    // A directory cut short lists the entries that are there.
    const std::uint64_t fit = (s.size() - std::min<std::uint64_t>(s.size(), kIconDirHeader)) / kIconDirEntry;
    const std::uint64_t n = std::min<std::uint64_t>(*count, fit);
    const auto dir = s.bytes(kIconDirHeader, n * kIconDirEntry);
    if (!dir) return false;
    for (std::uint64_t i = 0; i < n; ++i) {
        const std::uint8_t* e = dir->data() + i * kIconDirEntry;
        ImageRef ref;
        std::memcpy(ref.entry, e, sizeof ref.entry);
        ref.size = le32(e + 8);
        ref.offset = le32(e + 12);
        ref.present = ref.size > 0 && s.contains(ref.offset, ref.size);
        entry.images.push_back(ref);
    }
    entry.stream = std::move(stream);
    entry.wholeStreamIsIcon = true;
    return true;
}

// RIFF "ACON": chunks of a four-character id, a 32-bit size and data padded to
// an even length. The frames are the "icon" chunks of the LIST "fram" chunk,
// each a complete icon or cursor file.
void IconSource::readAni()
{
    const std::uint64_t riffEnd = std::min<std::uint64_t>(source_->size(), 8 + std::uint64_t{source_->u32(4).value_or(0)});
    std::uint64_t pos = 12;
    while (pos + 8 <= riffEnd) {
        std::uint8_t chunk[12];
        if (!source_->read(pos, chunk, 8)) return;
        const std::uint64_t size = le32(chunk + 4);
        const std::uint64_t data = pos + 8;
        const std::uint64_t end = std::min(riffEnd, data + size);
        if (std::memcmp(chunk, "LIST", 4) == 0 && source_->read(data, chunk + 8, 4) && std::memcmp(chunk + 8, "fram", 4) == 0) {
            std::uint64_t sub = data + 4;
            while (sub + 8 <= end) {
                std::uint8_t head[8];
                if (!source_->read(sub, head, sizeof head)) return;
                const std::uint64_t subSize = le32(head + 4);
                if (std::memcmp(head, "icon", 4) == 0) {
                    kind_ = IconFileKind::Ani;
                    const std::uint64_t frameEnd = std::min(end, sub + 8 + subSize);
                    auto frame = std::make_shared<SliceByteSource>(source_, sub + 8, frameEnd - (sub + 8));
                    IconEntry entry;
                    if (looksLikeIconDirectory(*frame)) readIconDirectory(frame, entry);
                    icons_.push_back(std::move(entry));
                    return;
                }
                sub += 8 + subSize + (subSize & 1);
            }
        }
        pos = data + size + (size & 1);
    }
}

void IconSource::readGroups(const IconResourceTable& table)
{
    roundedSizes_ = table.sizesRoundedUp;
    for (const GroupResource& group : table.groups) {
        IconEntry entry;
        entry.label = group.label;
        if (group.data && group.data->size >= kIconDirHeader) {
            const std::uint64_t n = std::min<std::uint64_t>(source_->u16(group.data->offset + 4).value_or(0),
                                                            (group.data->size - kIconDirHeader) / kGroupDirEntry);
            if (const auto dir = source_->bytes(group.data->offset + kIconDirHeader, n * kGroupDirEntry)) {
                for (std::uint64_t i = 0; i < n; ++i) {
                    const std::uint8_t* e = dir->data() + i * kGroupDirEntry;
                    ImageRef ref;
                    std::memcpy(ref.entry, e, sizeof ref.entry);
                    const auto found = table.icons.find(le16(e + 12));
                    if (found != table.icons.end()) {
                        ref.offset = found->second.offset;
                        ref.size = found->second.size;
                        // NE lengths are rounded up to the alignment unit; the group knows the real size.
                        const std::uint32_t stated = le32(e + 8);
                        if (roundedSizes_ && stated > 0 && stated < ref.size) ref.size = stated;
                        ref.present = ref.size > 0;
                    }
                    entry.images.push_back(ref);
                }
            }
        }
        icons_.push_back(std::move(entry));
    }
}

std::optional<std::vector<std::uint8_t>> IconSource::imageBytes(const IconEntry& icon, const ImageRef& image) const
{
    if (!image.present) return std::nullopt;
    return streamOf(icon).bytes(image.offset, image.size);
}

std::string IconSource::label(int index) const
{
    if (index < 0 || index >= count()) return {};
    return icons_[static_cast<std::size_t>(index)].label;
}

std::vector<IconImageEntry> IconSource::images(int index) const
{
    std::vector<IconImageEntry> out;
    if (index < 0 || index >= count()) return out;
    if (kind_ == IconFileKind::Bmp) {
        out.push_back({probeBitmapFile(*source_), 0, 0, 0});
        return out;
    }
    const IconEntry& icon = icons_[static_cast<std::size_t>(index)];
    for (const ImageRef& ref : icon.images) {
        IconImageEntry e;
        e.entryWidth = ref.entry[0] ? ref.entry[0] : 256;
        e.entryHeight = ref.entry[1] ? ref.entry[1] : 256;
        e.entryBits = le16(ref.entry + 6);
        if (ref.present) {
            if (const auto head = streamOf(icon).bytes(ref.offset, std::min(ref.size, kProbeBytes))) e.info = probeIconImage(*head);
        }
        out.push_back(e);
    }
    return out;
}

std::optional<Icon> IconSource::icon(int index) const
{
    if (index < 0 || index >= count()) return std::nullopt;
    if (kind_ == IconFileKind::Bmp) return decodeBitmapFile(*source_);
    const IconEntry& entry = icons_[static_cast<std::size_t>(index)];
    const std::vector<IconImageEntry> listed = images(index);
    std::vector<std::size_t> candidates;
    for (std::size_t i = 0; i < listed.size(); ++i) {
        if (listed[i].info) candidates.push_back(i);
    }
    // Best first; an image that fails to decode gives way to the next best.
    while (!candidates.empty()) {
        auto best = candidates.begin();
        for (auto it = candidates.begin(); it != candidates.end(); ++it) {
            if (betterForLargeIcon(*listed[*it].info, *listed[*best].info)) best = it;
        }
        if (const auto bytes = imageBytes(entry, entry.images[*best])) {
            if (auto decoded = decodeIconImage(*bytes)) return decoded;
        }
        candidates.erase(best);
    }
    return std::nullopt;
}

std::vector<std::uint8_t> IconSource::originalIco(int index) const
{
    if (index < 0 || index >= count()) return {};
    if (kind_ == IconFileKind::Bmp) {
        const auto picture = icon(index);
        return picture ? iconToIcoBytes(*picture) : std::vector<std::uint8_t>{};
    }
    const IconEntry& entry = icons_[static_cast<std::size_t>(index)];
    if (entry.wholeStreamIsIcon) {
        const ByteSource& s = streamOf(entry);
        return s.bytes(0, s.size()).value_or(std::vector<std::uint8_t>{});
    }
    // Rebuild an icon file from the group: the group's entries with each image's
    // real size and the offsets of the images laid one after another.
    std::vector<std::pair<const ImageRef*, std::vector<std::uint8_t>>> parts;
    for (const ImageRef& ref : entry.images) {
        if (auto bytes = imageBytes(entry, ref)) parts.emplace_back(&ref, std::move(*bytes));
    }
    if (parts.empty()) return {};
    std::vector<std::uint8_t> out;
    putLe16(out, 0);
    putLe16(out, 1);
    putLe16(out, static_cast<std::uint16_t>(parts.size()));
    std::uint64_t offset = kIconDirHeader + kIconDirEntry * parts.size();
    for (const auto& [ref, bytes] : parts) {
        out.insert(out.end(), ref->entry, ref->entry + sizeof ref->entry);
        putLe32(out, static_cast<std::uint32_t>(bytes.size()));
        putLe32(out, static_cast<std::uint32_t>(offset));
        offset += bytes.size();
    }
    for (const auto& part : parts) out.insert(out.end(), part.second.begin(), part.second.end());
    return out;
}

int extractIconCount(const std::string& path) { return IconSource::open(path).count(); }

std::optional<Icon> extractIcon(const std::string& path, int index) { return IconSource::open(path).icon(index); }

std::vector<std::uint8_t> iconToIcoBytes(const Icon& icon)
{
    // Alpha icons are stored as 32-bit images; the others as 24-bit images
    // whose AND mask does the work, which keeps inverted pixels inverted and is
    // read the same way by every icon reader.
    const std::uint16_t bits = icon.hasAlpha ? 32 : 24;
    const std::uint32_t colourBytes = Icon::kPixels * (bits / 8);
    constexpr std::uint32_t maskBytes = Icon::kSize * 4; // 32 bits a row
    std::vector<std::uint8_t> out;
    out.reserve(22 + 40 + colourBytes + maskBytes);
    putLe16(out, 0);
    putLe16(out, 1);
    putLe16(out, 1);
    out.insert(out.end(), {Icon::kSize, Icon::kSize, 0, 0});
    putLe16(out, 1);
    putLe16(out, bits);
    putLe32(out, 40 + colourBytes + maskBytes);
    putLe32(out, 22);
    // BITMAPINFOHEADER; the height counts colour and mask.
    putLe32(out, 40);
    putLe32(out, Icon::kSize);
    putLe32(out, Icon::kSize * 2);
    putLe16(out, 1);
    putLe16(out, bits);
    putLe32(out, 0);
    putLe32(out, colourBytes + maskBytes);
    for (int i = 0; i < 4; ++i) putLe32(out, 0);
    for (int y = Icon::kSize - 1; y >= 0; --y) {
        for (int x = 0; x < Icon::kSize; ++x) {
            const std::uint32_t c = icon.pixel(x, y);
            out.insert(out.end(), {static_cast<std::uint8_t>(c), static_cast<std::uint8_t>(c >> 8),
                                   static_cast<std::uint8_t>(c >> 16)});
            if (bits == 32) out.push_back(static_cast<std::uint8_t>(c >> 24));
        }
    }
    for (int y = Icon::kSize - 1; y >= 0; --y) {
        std::uint8_t row[4] = {};
        for (int x = 0; x < Icon::kSize; ++x) {
            if (icon.maskBit(x, y)) row[x >> 3] |= static_cast<std::uint8_t>(0x80 >> (x & 7));
        }
        out.insert(out.end(), row, row + 4);
    }
    return out;
}

} // namespace vextral::platform
