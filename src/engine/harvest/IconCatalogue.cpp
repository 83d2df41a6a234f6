#include "harvest/IconCatalogue.h"

#include "platform/IconExtractor.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>
#include <stdexcept>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace vextral {

namespace {

// Pictures and summaries are packed into blocks that double from 64 KB to
// 1 MB: few allocations for a hundred thousand icons, little waste for a
// handful.
constexpr std::size_t kBlockBytes = std::size_t {1} << 20;
std::size_t blockBytes(std::size_t block)
{
    return std::min(kBlockBytes, (std::size_t {64} << 10) << std::min<std::size_t>(block, 4));
}

// A picture laid out for deflate: the alpha, red, green and blue planes, then
// the mask one bit a pixel. Neighbouring bytes of one plane are alike, which
// compresses a third better than the pixels as they are.
constexpr std::size_t kPlaneBytes = Icon::kPixels;
constexpr std::size_t kMaskBytes = Icon::kPixels / 8;
constexpr std::size_t kPackedBytes = 4 * kPlaneBytes + kMaskBytes;
using Packed = std::array<std::uint8_t, kPackedBytes>;

void pack(const Icon& icon, Packed& out)
{
    for (std::size_t p = 0; p < kPlaneBytes; ++p) {
        const std::uint32_t c = icon.colour[p];
        out[p] = static_cast<std::uint8_t>(c >> 24);
        out[kPlaneBytes + p] = static_cast<std::uint8_t>(c >> 16);
        out[2 * kPlaneBytes + p] = static_cast<std::uint8_t>(c >> 8);
        out[3 * kPlaneBytes + p] = static_cast<std::uint8_t>(c);
    }
    std::uint8_t* mask = out.data() + 4 * kPlaneBytes;
    std::fill(mask, mask + kMaskBytes, std::uint8_t {0});
    for (std::size_t p = 0; p < kPlaneBytes; ++p) {
        if (icon.mask[p] != 0) mask[p / 8] = static_cast<std::uint8_t>(mask[p / 8] | (0x80u >> (p % 8)));
    }
}

void unpack(const Packed& in, Icon& icon)
{
    for (std::size_t p = 0; p < kPlaneBytes; ++p) {
        icon.colour[p] = std::uint32_t {in[p]} << 24 | std::uint32_t {in[kPlaneBytes + p]} << 16 |
                         std::uint32_t {in[2 * kPlaneBytes + p]} << 8 | std::uint32_t {in[3 * kPlaneBytes + p]};
        icon.mask[p] = (in[4 * kPlaneBytes + p / 8] >> (7 - p % 8)) & 1u;
    }
}

// A fully transparent icon: what is drawn for one that can no longer be read.
Icon transparentIcon()
{
    Icon icon;
    icon.mask.fill(1);
    return icon;
}

} // namespace

std::vector<IconImageSummary> imageSummaries(const platform::IconSource& source, int index)
{
    std::vector<IconImageSummary> out;
    const auto field = [](int v) { return static_cast<std::uint16_t>(std::clamp(v, 0, 0xFFFF)); };
    for (const platform::IconImageEntry& e : source.images(index)) {
        if (e.info) {
            out.push_back({field(e.info->width), field(e.info->height), field(e.info->bits), e.info->png, true});
        } else {
            out.push_back({field(e.entryWidth), field(e.entryHeight), field(e.entryBits), false, false});
        }
    }
    return out;
}

struct IconCatalogue::ReadAgainCache {
    std::string path;
    std::optional<platform::IconSource> source;
};

IconCatalogue::IconCatalogue(Pictures pictures) : pictures_(pictures) {}
IconCatalogue::~IconCatalogue() = default;
IconCatalogue::IconCatalogue(IconCatalogue&&) noexcept = default;
IconCatalogue& IconCatalogue::operator=(IconCatalogue&&) noexcept = default;

std::uint8_t* IconCatalogue::reserve(std::size_t bytes, Slot& slot)
{
    if (bytes > kBlockBytes) throw std::length_error("an icon's entry is larger than a block");
    if (blocks_.empty() || blockUsed_ + bytes > blockBytes(blocks_.size() - 1)) {
        blocks_.push_back(std::make_unique_for_overwrite<std::uint8_t[]>(blockBytes(blocks_.size())));
        blockUsed_ = 0;
    }
    slot.block = static_cast<std::uint32_t>(blocks_.size() - 1);
    slot.offset = static_cast<std::uint32_t>(blockUsed_);
    blockUsed_ += bytes;
    return blocks_.back().get() + slot.offset;
}

const std::uint8_t* IconCatalogue::bytesOf(const Slot& s) const { return blocks_[s.block].get() + s.offset; }

int IconCatalogue::add(const Icon& icon, std::int32_t iconIndex, const std::string& sourceFile,
                       const std::vector<IconImageSummary>& images, bool cursor)
{
    const int n = itemCount_;
    const auto at = static_cast<std::size_t>(n);
    // A run appends right after the last item; slots past it belong to no item.
    if (slots_.size() > at) slots_.resize(at);

    Slot slot;
    slot.hasAlpha = icon.hasAlpha;
    slot.listed = static_cast<std::uint32_t>(images.size());
    slot.summaries = static_cast<std::uint16_t>(std::min<std::size_t>(images.size(), kMostSummaries));
    std::uint16_t largest = 0;
    for (const IconImageSummary& s : images) {
        if (s.readable) largest = std::max({largest, s.width, s.height});
    }
    slot.largest = largest > 0 ? largest : std::uint16_t {Icon::kSize};

    const std::size_t summaryBytes = slot.summaries * sizeof(IconImageSummary);
    std::array<std::uint8_t, kPackedBytes + kPackedBytes / 100 + 64> compressed {};
    uLongf compressedBytes = 0;
    if (pictures_ == Pictures::Kept) {
        Packed packed;
        pack(icon, packed);
        compressedBytes = compressed.size();
        if (compress2(compressed.data(), &compressedBytes, packed.data(), packed.size(), 1) != Z_OK)
            throw std::runtime_error("an icon's picture could not be compressed");
        slot.pictureBytes = static_cast<std::uint16_t>(compressedBytes);
    }
    if (compressedBytes + summaryBytes > 0) {
        std::uint8_t* out = reserve(compressedBytes + summaryBytes, slot);
        std::memcpy(out, compressed.data(), compressedBytes);
        if (summaryBytes > 0) std::memcpy(out + compressedBytes, images.data(), summaryBytes);
    }
    slots_.push_back(slot);

    if (at < records_.size()) {
        records_[at] = IconRecord {iconIndex, sourceFile};
    } else {
        records_.resize(at);
        records_.push_back(IconRecord {iconIndex, sourceFile, cursor});
    }
    ++itemCount_;
    return n;
}

Icon IconCatalogue::image(int i) const
{
    const Slot& s = slot(i);
    if (s.pictureBytes == 0) {
        // Read again from the file: the last file read stays open for the next icon.
        const IconRecord& r = record(i);
        if (!readAgain_) readAgain_ = std::make_unique<ReadAgainCache>();
        if (!readAgain_->source || readAgain_->path != r.sourceFile) {
            readAgain_->source.emplace(platform::reopenIconSource(r.sourceFile));
            readAgain_->path = r.sourceFile;
        }
        const std::optional<Icon> icon = readAgain_->source->icon(r.iconIndex);
        return icon ? *icon : transparentIcon();
    }
    Packed packed;
    uLongf size = packed.size();
    if (uncompress(packed.data(), &size, bytesOf(s), s.pictureBytes) != Z_OK || size != packed.size())
        return transparentIcon();
    Icon icon;
    unpack(packed, icon);
    icon.hasAlpha = s.hasAlpha;
    return icon;
}

std::vector<IconImageSummary> IconCatalogue::images(int i) const
{
    const Slot& s = slot(i);
    std::vector<IconImageSummary> out(s.summaries);
    if (s.summaries > 0) std::memcpy(out.data(), bytesOf(s) + s.pictureBytes, s.summaries * sizeof(IconImageSummary));
    return out;
}

int IconCatalogue::imageListCount(int i) const { return static_cast<int>(slot(i).listed); }
int IconCatalogue::largestSide(int i) const { return slot(i).largest; }

void IconCatalogue::clearImages()
{
    slots_.clear();
    blocks_.clear();
    blockUsed_ = 0;
    readAgain_.reset();
    ++generation_;
}

void IconCatalogue::release()
{
    clearItems();
    clearImages();
    std::vector<Slot>().swap(slots_);
    std::vector<std::unique_ptr<std::uint8_t[]>>().swap(blocks_);
    std::vector<IconRecord>().swap(records_);
#if defined(__GLIBC__)
    // Freed blocks below the allocator's mapping threshold stay in its heap
    // until it is trimmed.
    malloc_trim(0);
#endif
}

std::size_t IconCatalogue::memoryBytes() const
{
    std::size_t bytes = slots_.capacity() * sizeof(Slot) + records_.capacity() * sizeof(IconRecord);
    for (std::size_t b = 0; b < blocks_.size(); ++b) bytes += blockBytes(b);
    for (const IconRecord& r : records_) {
        if (r.sourceFile.capacity() > 15) bytes += r.sourceFile.capacity() + 1;
    }
    return bytes;
}

} // namespace vextral
