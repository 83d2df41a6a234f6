#include "platform/IconExtractor.h"

#include "core/Bytes.h"
#include "platform/IcnsFile.h"
#include "platform/IconDirectory.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>
#include <tuple>
#include <utility>

namespace vextral::platform {

using codecs::decodeBitmapFile;
using codecs::decodeIconImage;
using codecs::ImageInfo;
using codecs::probeBitmapFile;
using codecs::probeIconImage;

namespace {

// Enough for any image header: the largest DIB header with its masks.
constexpr std::uint64_t kProbeBytes = 256;

bool looksLikeIconDirectory(const ByteSource& s)
{
    std::uint8_t h[kIconDirHeader];
    if (!s.read(0, h, sizeof h)) return false;
    const std::uint16_t type = le16(h + 2);
    return le16(h) == 0 && (type == 1 || type == 2) && le16(h + 4) >= 1 && s.size() >= kIconDirHeader + kIconDirEntry;
}

// The n entries of the group directory at offset, each naming an RT_ICON of
// the table; nothing when the entries are not in the file.
std::shared_ptr<const IconDirectory> readGroupDirectory(const ByteSource& file, const IconResourceTable& table,
                                                        std::uint64_t offset, std::uint64_t n)
{
    const auto dir = file.bytes(offset + kIconDirHeader, n * kGroupDirEntry);
    if (!dir) return nullptr;
    DirectoryBuilder builder(n);
    for (std::uint64_t i = 0; i < n; ++i) {
        const std::uint8_t* e = dir->data() + i * kGroupDirEntry;
        std::optional<ImageRange> range;
        const auto found = table.icons.find(le16(e + 12));
        if (found != table.icons.end()) {
            ImageRange r {found->second.offset, found->second.size};
            // NE lengths are rounded up to the alignment unit; the group knows the real size.
            const std::uint32_t stated = le32(e + 8);
            if (table.sizesRoundedUp && stated > 0 && stated < r.size) r.size = stated;
            if (r.size > 0) range = r;
        }
        builder.add(e, range);
    }
    return builder.finish();
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

// perByte * size + allowance, or the most a 64-bit count holds.
std::uint64_t saturatingBudget(std::uint64_t perByte, std::uint64_t size, std::uint64_t allowance)
{
    constexpr std::uint64_t most = ~std::uint64_t {0};
    if (perByte && size > (most - allowance) / perByte) return most;
    return perByte * size + allowance;
}

std::uint64_t pixelsOf(const ImageInfo& info)
{
    return static_cast<std::uint64_t>(info.width) * static_cast<std::uint64_t>(info.height);
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
    case IconFileKind::Png: return "PNG";
    case IconFileKind::Icns: return "ICNS";
    case IconFileKind::Res: return "RES";
    case IconFileKind::None: break;
    }
    return "none";
}

IconSource IconSource::open(const std::string& path, const ReaderLimits& limits, const IconSourceOptions& options)
{
    auto file = FileByteSource::open(path);
    if (!file) {
        IconSource source;
        source.error_ = file.reason().empty() ? "cannot be read" : file.reason();
        return source;
    }
    return fromSource(std::move(file).value(), limits, options);
}

IconSource IconSource::fromBytes(std::vector<std::uint8_t> bytes, const ReaderLimits& limits,
                                 const IconSourceOptions& options)
{
    return fromSource(std::make_shared<MemoryByteSource>(std::move(bytes)), limits, options);
}

IconSource IconSource::fromSource(std::shared_ptr<const ByteSource> source, const ReaderLimits& limits,
                                  const IconSourceOptions& options)
{
    IconSource s;
    s.limits_ = limits;
    s.options_ = options;
    s.source_ = std::move(source);
    s.detect();
    const std::uint64_t size = s.source_->size();
    s.decodeBytesLeft_ = saturatingBudget(limits.decodeBytesPerFileByte, size, limits.decodeAllowanceBytes);
    s.decodePixelsLeft_ = saturatingBudget(limits.decodePixelsPerFileByte, size, limits.decodePixelsAllowance);
    return s;
}

bool IconSource::chargeDecode(std::uint64_t bytes, std::uint64_t pixels) const
{
    if (bytes > decodeBytesLeft_ || pixels > decodePixelsLeft_) return false;
    decodeBytesLeft_ -= bytes;
    decodePixelsLeft_ -= pixels;
    return true;
}

void IconSource::detect()
{
    std::uint8_t magic[12] = {};
    const std::size_t have = static_cast<std::size_t>(std::min<std::uint64_t>(source_->size(), sizeof magic));
    if (have < 2 || !source_->read(0, magic, have)) return;

    if (magic[0] == 'M' && magic[1] == 'Z') {
        IconResourceTable table;
        if (readPeResources(*source_, table, limits_)) {
            kind_ = IconFileKind::Pe;
        } else if (readNeResources(*source_, table, limits_)) {
            kind_ = IconFileKind::Ne;
        } else {
            return; // a DOS program
        }
        readGroups(table);
        return;
    }
    if (IconResourceTable table; readResResources(*source_, table, limits_)) {
        kind_ = IconFileKind::Res;
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
    if (const IcoOfFile other = icoOfPngOrIcns(source_, limits_); other.kind != IconFileKind::None) {
        kind_ = other.kind;
        skipped_ = other.skipped;
        IconEntry entry;
        if (other.ico) readIconDirectory(other.ico, entry);
        icons_.push_back(std::move(entry));
        return;
    }
    if (magic[0] == 'B' && magic[1] == 'M' && probeBitmapFile(*source_, limits_)) {
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
    DirectoryBuilder builder(n);
    for (std::uint64_t i = 0; i < n; ++i) {
        const std::uint8_t* e = dir->data() + i * kIconDirEntry;
        const ImageRange range {le32(e + 12), le32(e + 8)};
        builder.add(e, range.size > 0 && s.contains(range.offset, range.size) ? std::optional(range) : std::nullopt);
    }
    entry.directory = builder.finish();
    entry.stream = std::move(stream);
    entry.wholeStreamIsIcon = true;
    return true;
}

// RIFF "ACON": chunks of a four-character id, a 32-bit size and data padded to
// an even length. The frames are the "icon" chunks of the LIST "fram" chunk,
// each a complete icon or cursor file.
void IconSource::readAni()
{
    // Only the bytes the file has are walked, and at most riffChunks chunks
    // (those of the "fram" list counted too): a file of 4 GiB that is all
    // hole reads as hundreds of millions of empty chunks.
    const std::uint64_t riffEnd =
        std::min<std::uint64_t>(source_->size(), 8 + std::uint64_t {source_->u32(4).value_or(0)});
    std::uint64_t pos = 12;
    std::uint64_t chunksLeft = limits_.riffChunks;
    while (pos + 8 <= riffEnd && chunksLeft > 0) {
        --chunksLeft;
        std::uint8_t chunk[12];
        if (!source_->read(pos, chunk, 8)) return;
        const std::uint64_t size = le32(chunk + 4);
        const std::uint64_t data = pos + 8;
        const std::uint64_t end = std::min(riffEnd, data + size);
        if (std::memcmp(chunk, "LIST", 4) == 0 && source_->read(data, chunk + 8, 4) &&
            std::memcmp(chunk + 8, "fram", 4) == 0) {
            std::uint64_t sub = data + 4;
            while (sub + 8 <= end && chunksLeft > 0) {
                --chunksLeft;
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
    // Every group is charged the bytes of its directory (6 and 14 an entry),
    // and once the groups together would be charged more than the whole file,
    // the rest are left without images. In a real file each group has its own
    // directory, so they never come near; in a crafted one where thousands of
    // groups name one huge directory, the entries of all icons together stay
    // within what the file could hold. Groups naming one directory share it.
    // Cursor groups follow the icon groups under the same charge.
    std::map<std::tuple<std::uint64_t, std::uint64_t, bool>, std::shared_ptr<const IconDirectory>> read;
    std::uint64_t charged = 0;
    const std::size_t iconGroups = table.groups.size();
    const std::size_t cursorGroups = options_.cursors ? table.cursorGroups.size() : 0;
    for (std::size_t i = 0; i < iconGroups + cursorGroups; ++i) {
        const bool cursor = i >= iconGroups;
        const GroupResource& group = cursor ? table.cursorGroups[i - iconGroups] : table.groups[i];
        IconEntry entry;
        entry.label = group.label;
        entry.cursorGroup = cursor;
        if (group.data && group.data->size >= kIconDirHeader) {
            const std::uint64_t n = std::min<std::uint64_t>(source_->u16(group.data->offset + 4).value_or(0),
                                                            (group.data->size - kIconDirHeader) / kGroupDirEntry);
            const std::uint64_t cost = kIconDirHeader + n * kGroupDirEntry;
            if (cost <= source_->size() - charged) {
                charged += cost;
                auto& shared = read[{group.data->offset, n, cursor}];
                if (!shared)
                    shared = cursor ? readCursorGroupDirectory(*source_, table, group.data->offset, n)
                                    : readGroupDirectory(*source_, table, group.data->offset, n);
                entry.directory = shared;
            }
        }
        icons_.push_back(std::move(entry));
    }
}

std::vector<std::optional<ImageInfo>> IconSource::probeImages(const IconEntry& icon) const
{
    std::vector<std::optional<ImageInfo>> infos;
    if (!icon.directory) return infos;
    infos.reserve(icon.directory->images.size());
    for (const ImageRange& image : icon.directory->images) {
        const auto head = streamOf(icon).bytes(image.offset, std::min(image.size, kProbeBytes));
        infos.push_back(head ? probeIconImage(*head, limits_) : std::nullopt);
    }
    return infos;
}

std::string IconSource::label(int index) const
{
    if (index < 0 || index >= count()) return {};
    return icons_[static_cast<std::size_t>(index)].label;
}

bool IconSource::isCursor(int index) const
{
    if (index < 0 || index >= count()) return false;
    return kind_ == IconFileKind::Cur || kind_ == IconFileKind::Ani ||
           icons_[static_cast<std::size_t>(index)].cursorGroup;
}

std::vector<IconImageEntry> IconSource::images(int index) const
{
    std::vector<IconImageEntry> out;
    if (index < 0 || index >= count()) return out;
    if (kind_ == IconFileKind::Bmp) {
        out.push_back({probeBitmapFile(*source_, limits_), 0, 0, 0});
        return out;
    }
    const IconEntry& icon = icons_[static_cast<std::size_t>(index)];
    if (!icon.directory) return out;
    const auto infos = probeImages(icon);
    out.reserve(icon.directory->entries.size());
    for (const IconDirectory::Entry& entry : icon.directory->entries) {
        IconImageEntry e;
        e.entryWidth = entry.fields[0] ? entry.fields[0] : 256;
        e.entryHeight = entry.fields[1] ? entry.fields[1] : 256;
        e.entryBits = entry.bits >= 0 ? entry.bits : le16(entry.fields + 6);
        if (entry.image >= 0) {
            e.info = infos[static_cast<std::size_t>(entry.image)];
            e.image = entry.image;
        }
        out.push_back(e);
    }
    return out;
}

std::optional<Icon> IconSource::icon(int index) const
{
    if (index < 0 || index >= count()) return std::nullopt;
    if (kind_ == IconFileKind::Bmp) {
        // One picture, decoded at each call: each is charged.
        const auto info = probeBitmapFile(*source_, limits_);
        if (!info || !chargeDecode(source_->size(), pixelsOf(*info))) return std::nullopt;
        return decodeBitmapFile(*source_, limits_);
    }
    const IconEntry& entry = icons_[static_cast<std::size_t>(index)];
    if (!entry.directory) return std::nullopt;
    const auto infos = probeImages(entry);
    std::vector<std::size_t> candidates;
    for (std::size_t i = 0; i < infos.size(); ++i) {
        if (infos[i]) candidates.push_back(i);
    }
    // Best first, ties in stored order; an image that fails to decode gives way
    // to the next best. The images tried never add up to more bytes than the
    // stream holds: images that do not overlap always fit, so this only stops
    // a crafted file's overlapping ranges from being decoded over and over.
    // Each decoding is charged to the source's budget; an image it no longer
    // covers is skipped, and the icon is drawn from the next one that fits.
    std::stable_sort(candidates.begin(), candidates.end(),
                     [&](std::size_t a, std::size_t b) { return betterForLargeIcon(*infos[a], *infos[b]); });
    const ByteSource& stream = streamOf(entry);
    std::uint64_t bytesLeft = stream.size();
    // PNG images can inflate to far more than their bytes.
    std::uint64_t pngPixelsLeft = limits_.iconPngPixelsPerIcon;
    for (const std::size_t k : candidates) {
        const ImageRange& image = entry.directory->images[k];
        if (image.size > bytesLeft) continue;
        if (infos[k]->png) {
            const std::uint64_t pixels =
                static_cast<std::uint64_t>(infos[k]->width) * static_cast<std::uint64_t>(infos[k]->height);
            if (pixels > pngPixelsLeft) continue;
            pngPixelsLeft -= pixels;
        }
        bytesLeft -= image.size;
        const DecodedKey key {&stream, image.offset, image.size};
        if (const auto known = decoded_.find(key); known != decoded_.end()) {
            if (known->second) return known->second;
            continue;
        }
        // Over the source's life decoding never reads more than a few times
        // its bytes nor makes more than its budget of pixels: a file whose
        // icons all name one image decodes it once, and one whose distinct
        // images are overlapping ranges, or tiny PNGs of huge pictures, runs
        // dry.
        if (!chargeDecode(image.size, pixelsOf(*infos[k]))) continue;
        std::optional<Icon> decoded;
        if (const auto bytes = stream.bytes(image.offset, image.size)) decoded = decodeIconImage(*bytes, limits_);
        if (decoded_.size() >= limits_.decodedImagesKept) decoded_.clear();
        decoded_.emplace(key, decoded);
        if (decoded) return decoded;
    }
    return std::nullopt;
}

std::optional<codecs::IconPicture> IconSource::imagePicture(int index, int entry) const
{
    if (index < 0 || index >= count() || kind_ == IconFileKind::Bmp) return std::nullopt;
    const IconEntry& icon = icons_[static_cast<std::size_t>(index)];
    if (!icon.directory || entry < 0 || entry >= static_cast<int>(icon.directory->entries.size())) return std::nullopt;
    const int image = icon.directory->entries[static_cast<std::size_t>(entry)].image;
    if (image < 0) return std::nullopt;
    const ImageRange& range = icon.directory->images[static_cast<std::size_t>(image)];
    const ByteSource& stream = streamOf(icon);
    const DecodedKey key {&stream, range.offset, range.size};
    if (brokenFull_.contains(key)) return std::nullopt;
    // What the header says decides what is charged; an image too large to
    // hold whole is refused by the decoder before it is read, for nothing.
    const auto head = stream.bytes(range.offset, std::min(range.size, kProbeBytes));
    const auto info = head ? probeIconImage(*head, limits_) : std::nullopt;
    std::optional<codecs::IconPicture> picture;
    if (info && static_cast<long long>(pixelsOf(*info)) > limits_.fullImagePixels) {
        // too large: never decoded, nothing charged
    } else if (info) {
        // The same budget as the 32 x 32 decoding: a crafted file cannot make
        // its overlapping ranges be read over and over, nor its tiny PNGs
        // inflate again and again.
        if (!chargeDecode(range.size, pixelsOf(*info))) return std::nullopt;
        if (const auto bytes = stream.bytes(range.offset, range.size))
            picture = codecs::decodeIconImageFull(*bytes, limits_);
    }
    if (!picture) {
        if (brokenFull_.size() >= limits_.decodedImagesKept) brokenFull_.clear();
        brokenFull_.insert(key);
    }
    return picture;
}

std::vector<std::uint8_t> IconSource::originalIco(int index) const
{
    if (index < 0 || index >= count()) return {};
    if (kind_ == IconFileKind::Bmp) {
        const auto picture = icon(index);
        return picture ? iconToIcoBytes(*picture) : std::vector<std::uint8_t> {};
    }
    const IconEntry& entry = icons_[static_cast<std::size_t>(index)];
    if (entry.wholeStreamIsIcon) {
        const ByteSource& s = streamOf(entry);
        return s.bytes(0, s.size()).value_or(std::vector<std::uint8_t> {});
    }
    if (!entry.directory) return {};
    const IconDirectory& dir = *entry.directory;
    // Rebuild an icon file from the group: each distinct image once, under the
    // fields of the first entry naming it, with its real size, the images laid
    // one after another. An image is left out when the rebuilt file would grow
    // past the source file, which holds every image of a real group and more,
    // or past what the 32-bit sizes and offsets of an icon file reach; so
    // ranges that overlap in a crafted file cannot multiply the output.
    const std::uint64_t limit = std::min<std::uint64_t>(source_->size(), 0xFFFFFFFFu);
    std::vector<std::size_t> taken;
    std::uint64_t imageBytes = 0;
    for (std::size_t k = 0; k < dir.images.size() && taken.size() < 0xFFFF; ++k) {
        const std::uint64_t size = dir.images[k].size;
        const std::uint64_t total = kIconDirHeader + kIconDirEntry * (taken.size() + 1) + imageBytes;
        if (total > limit || size > limit - total) continue;
        taken.push_back(k);
        imageBytes += size;
    }
    if (taken.empty()) return {};

    // The images are read straight into place. One that cannot be read (the
    // file shrank since it was opened) is written over by the next, and the
    // directory then lists only the ones that were read.
    const ByteSource& s = streamOf(entry);
    const std::uint64_t planned = kIconDirHeader + kIconDirEntry * taken.size();
    std::vector<std::uint8_t> out(static_cast<std::size_t>(planned + imageBytes));
    std::vector<std::size_t> kept;
    std::uint64_t end = planned;
    for (const std::size_t k : taken) {
        const ImageRange& image = dir.images[k];
        if (!s.read(image.offset, out.data() + end, static_cast<std::size_t>(image.size))) continue;
        kept.push_back(k);
        end += image.size;
    }
    if (kept.empty()) return {};
    const std::uint64_t header = kIconDirHeader + kIconDirEntry * kept.size();
    if (header != planned)
        std::memmove(out.data() + header, out.data() + planned, static_cast<std::size_t>(end - planned));
    out.resize(static_cast<std::size_t>(header + end - planned));

    std::vector<std::uint8_t> head;
    head.reserve(static_cast<std::size_t>(header));
    putLe16(head, 0);
    putLe16(head, entry.cursorGroup ? 2 : 1);
    putLe16(head, static_cast<std::uint16_t>(kept.size()));
    std::uint64_t offset = header;
    for (const std::size_t k : kept) {
        const std::uint8_t* fields = dir.entries[dir.firstEntry[k]].fields;
        head.insert(head.end(), fields, fields + sizeof dir.entries[0].fields);
        putLe32(head, static_cast<std::uint32_t>(dir.images[k].size));
        putLe32(head, static_cast<std::uint32_t>(offset));
        offset += dir.images[k].size;
    }
    std::copy(head.begin(), head.end(), out.begin());
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
