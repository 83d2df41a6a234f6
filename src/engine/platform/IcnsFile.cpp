#include "platform/IcnsFile.h"

#include "codecs/IconPng.h"
#include "core/Bytes.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstring>
#include <optional>
#include <set>
#include <span>
#include <utility>

namespace vextral::platform {

namespace {

constexpr std::uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr std::uint8_t kJp2Signature[8] = {0x00, 0x00, 0x00, 0x0C, 'j', 'P', ' ', ' '};
constexpr std::uint8_t kJ2kCodestream[4] = {0xFF, 0x4F, 0xFF, 0x51};
constexpr std::uint64_t kIcoHeader = 6;
constexpr std::uint64_t kIcoEntry = 16;
constexpr std::uint64_t kChunkHeader = 8;
// Enough of an image's start to tell its kind and read a PNG's header.
constexpr std::uint64_t kHeadBytes = 64;

std::uint32_t be32(const std::uint8_t* p)
{
    return (static_cast<std::uint32_t>(p[0]) << 24) | (static_cast<std::uint32_t>(p[1]) << 16) |
           (static_cast<std::uint32_t>(p[2]) << 8) | p[3];
}

bool startsWith(std::span<const std::uint8_t> data, const std::uint8_t* prefix, std::size_t n)
{
    return data.size() >= n && std::memcmp(data.data(), prefix, n) == 0;
}

// The .ico built over the file: pieces laid end to end, each either bytes
// held here (the directory, a decoded image) or a range of the file.
class PieceByteSource final : public ByteSource {
public:
    explicit PieceByteSource(std::shared_ptr<const ByteSource> file) : file_(std::move(file)) {}

    void addBytes(std::vector<std::uint8_t> bytes)
    {
        const std::uint64_t n = bytes.size();
        owned_.push_back(std::move(bytes));
        pieces_.push_back({size_, n, 0, static_cast<int>(owned_.size() - 1)});
        size_ += n;
    }
    void addRange(std::uint64_t offset, std::uint64_t n)
    {
        pieces_.push_back({size_, n, offset, -1});
        size_ += n;
    }

    std::uint64_t size() const override { return size_; }
    bool read(std::uint64_t offset, void* dst, std::size_t n) const override
    {
        if (!contains(offset, n)) return false;
        auto* out = static_cast<std::uint8_t*>(dst);
        // The last piece starting at or before offset, then the ones after it.
        auto at =
            static_cast<std::size_t>(std::upper_bound(pieces_.begin(), pieces_.end(), offset,
                                                      [](std::uint64_t o, const Piece& p) { return o < p.start; }) -
                                     pieces_.begin()) -
            1;
        for (; n > 0 && at < pieces_.size(); ++at) {
            const Piece& piece = pieces_[at];
            const std::uint64_t within = offset - piece.start;
            const auto take = static_cast<std::size_t>(std::min<std::uint64_t>(n, piece.size - within));
            if (piece.owned >= 0) {
                std::memcpy(out, owned_[static_cast<std::size_t>(piece.owned)].data() + within, take);
            } else if (!file_->read(piece.fileOffset + within, out, take)) {
                return false;
            }
            out += take;
            offset += take;
            n -= take;
        }
        return n == 0;
    }

private:
    struct Piece {
        std::uint64_t start, size, fileOffset;
        int owned;
    };
    std::shared_ptr<const ByteSource> file_;
    std::vector<std::vector<std::uint8_t>> owned_;
    std::vector<Piece> pieces_;
    std::uint64_t size_ = 0;
};

// One image of the .ico: its directory fields and where its bytes come from.
struct IcoImage {
    std::uint8_t fields[8] = {}; // width, height, colours, reserved, planes, bit count
    std::uint64_t fileOffset = 0;
    std::uint64_t size = 0;
    std::vector<std::uint8_t> bytes; // when not a range of the file

    IcoImage(int width, int height, int bits)
    {
        fields[0] = static_cast<std::uint8_t>(width < 256 ? width : 0); // 0 stands for 256 and more
        fields[1] = static_cast<std::uint8_t>(height < 256 ? height : 0);
        fields[4] = 1;
        fields[6] = static_cast<std::uint8_t>(bits);
        fields[7] = static_cast<std::uint8_t>(bits >> 8);
    }
};

// The .ico file of the images, in order; those that would take it past the
// 32-bit offsets of an icon file are left out. Null when there is none.
std::shared_ptr<const ByteSource> buildIco(std::shared_ptr<const ByteSource> file, std::vector<IcoImage> images)
{
    if (images.size() > 0xFFFF) images.erase(images.begin() + 0xFFFF, images.end());
    std::uint64_t offset = kIcoHeader + kIcoEntry * images.size();
    std::size_t kept = 0;
    for (; kept < images.size(); ++kept) {
        if (images[kept].size > 0xFFFFFFFFu - offset) break;
        offset += images[kept].size;
    }
    images.erase(images.begin() + static_cast<std::ptrdiff_t>(kept), images.end());
    if (images.empty()) return nullptr;
    std::vector<std::uint8_t> head;
    head.reserve(static_cast<std::size_t>(kIcoHeader + kIcoEntry * images.size()));
    putLe16(head, 0);
    putLe16(head, 1);
    putLe16(head, static_cast<std::uint16_t>(images.size()));
    offset = kIcoHeader + kIcoEntry * images.size();
    for (const IcoImage& image : images) {
        head.insert(head.end(), image.fields, image.fields + sizeof image.fields);
        putLe32(head, static_cast<std::uint32_t>(image.size));
        putLe32(head, static_cast<std::uint32_t>(offset));
        offset += image.size;
    }
    auto ico = std::make_shared<PieceByteSource>(std::move(file));
    ico->addBytes(std::move(head));
    for (IcoImage& image : images) {
        if (image.bytes.empty()) {
            ico->addRange(image.fileOffset, image.size);
        } else {
            ico->addBytes(std::move(image.bytes));
        }
    }
    return ico;
}

// The sides and depth a PNG's header gives, whatever its size: one too large
// for the icon readers is still listed (and refused when it is read).
std::optional<codecs::ImageInfo> pngHeader(std::span<const std::uint8_t> head, const ReaderLimits& limits)
{
    ReaderLimits anySide = limits;
    anySide.iconPngSide = INT_MAX;
    return codecs::probeIconPng(head, anySide);
}

IcoOfFile readPng(std::shared_ptr<const ByteSource> file, const ReaderLimits& limits)
{
    IcoOfFile out;
    out.kind = IconFileKind::Png;
    const auto head = file->bytes(0, std::min(file->size(), kHeadBytes));
    const auto info = head ? pngHeader(*head, limits) : std::nullopt;
    if (!info) {
        out.skipped.push_back("PNG: damaged header");
        return out;
    }
    IcoImage image(info->width, info->height, info->bits);
    image.size = file->size();
    std::vector<IcoImage> images;
    images.push_back(std::move(image));
    out.ico = buildIco(std::move(file), std::move(images));
    return out;
}

// ---- icns

// The classic images: 24-bit RGB, each channel's plane compressed on its
// own, and the 8-bit alpha mask of the same side in a chunk of its own.
struct ClassicType {
    const char* image;
    const char* mask;
    int side;
    std::uint64_t skip; // bytes before the planes
};
constexpr ClassicType kClassic[] = {
    {"is32", "s8mk", 16, 0},
    {"il32", "l8mk", 32, 0},
    {"ih32", "h8mk", 48, 0},
    {"it32", "t8mk", 128, 4},
};
// Chunks that hold a PNG (or a JPEG 2000 image, which is not read); ic04 and
// ic05 may instead hold "ARGB" and four compressed planes.
constexpr const char* kPngTypes[] = {"ic04", "ic05", "ic07", "ic08", "ic09", "ic10", "ic11", "ic12", "ic13",
                                     "ic14", "icp4", "icp5", "icp6", "icsb", "icsB", "sb24", "SB24"};
// Black and white images with their mask (1 bit a pixel, the mask after the image).
struct MonoType {
    const char* type;
    int side;
};
constexpr MonoType kMono[] = {{"ics#", 16}, {"ICN#", 32}};

// Apple's PackBits: a control byte n below 128 is followed by n + 1 bytes
// taken as they are; from 128 on by one byte repeated n - 125 times. Fills
// out exactly; false when the data runs out first or a run would pass the
// end of out.
bool unpackBits(std::span<const std::uint8_t> in, std::span<std::uint8_t> out)
{
    std::size_t i = 0;
    std::size_t o = 0;
    while (o < out.size()) {
        if (i >= in.size()) return false;
        const unsigned n = in[i++];
        if (n < 128) {
            const std::size_t count = n + 1;
            if (count > in.size() - i || count > out.size() - o) return false;
            std::memcpy(out.data() + o, in.data() + i, count);
            i += count;
            o += count;
        } else {
            const std::size_t count = n - 125;
            if (i >= in.size() || count > out.size() - o) return false;
            std::memset(out.data() + o, in[i++], count);
            o += count;
        }
    }
    return true;
}

// A 32-bit DIB of side x side from top-down 0xAARRGGBB pixels, its AND mask
// set where a pixel is fully transparent.
std::vector<std::uint8_t> dib32(int side, const std::vector<std::uint32_t>& pixels)
{
    const auto n = static_cast<std::size_t>(side);
    const std::size_t maskRow = (n + 31) / 32 * 4;
    std::vector<std::uint8_t> out;
    out.reserve(40 + n * n * 4 + maskRow * n);
    putLe32(out, 40);
    putLe32(out, static_cast<std::uint32_t>(side));
    putLe32(out, static_cast<std::uint32_t>(side * 2)); // colours and mask
    putLe16(out, 1);
    putLe16(out, 32);
    putLe32(out, 0);
    putLe32(out, static_cast<std::uint32_t>(n * n * 4 + maskRow * n));
    for (int i = 0; i < 4; ++i) putLe32(out, 0);
    for (std::size_t y = n; y-- > 0;) {
        for (std::size_t x = 0; x < n; ++x) putLe32(out, pixels[y * n + x]); // B, G, R, A
    }
    for (std::size_t y = n; y-- > 0;) {
        const std::size_t row = out.size();
        out.resize(row + maskRow, 0);
        for (std::size_t x = 0; x < n; ++x) {
            if ((pixels[y * n + x] >> 24) == 0) out[row + x / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
        }
    }
    return out;
}

// Planes of side x side bytes, one after another, compressed as one stream
// (the channels in order, alpha first when there is one); nothing when the
// stream is damaged.
std::optional<std::vector<std::uint8_t>> unpackPlanes(std::span<const std::uint8_t> data, int side, int planes)
{
    std::vector<std::uint8_t> out(static_cast<std::size_t>(side) * static_cast<std::size_t>(side) *
                                  static_cast<std::size_t>(planes));
    if (!unpackBits(data, out)) return std::nullopt;
    return out;
}

// The most bytes a compressed stream of that many bytes can take (a control
// byte for every byte): more of a chunk is never read.
std::uint64_t packedBound(int side, int planes) { return 2ull * static_cast<std::uint64_t>(side * side * planes); }

// Top-down pixels of planes (alpha, red, green, blue, or red, green, blue
// with the alpha given apart, or opaque without it).
std::vector<std::uint32_t> pixelsOfPlanes(const std::vector<std::uint8_t>& planes, std::size_t n, bool alphaPlane,
                                          const std::uint8_t* alpha)
{
    std::vector<std::uint32_t> pixels(n);
    const std::size_t c = alphaPlane ? n : 0;
    for (std::size_t i = 0; i < n; ++i) {
        const std::uint32_t a = alphaPlane ? planes[i] : alpha ? alpha[i] : 0xFF;
        pixels[i] = (a << 24) | (std::uint32_t {planes[c + i]} << 16) | (std::uint32_t {planes[c + n + i]} << 8) |
                    planes[c + 2 * n + i];
    }
    return pixels;
}

// A 1-bit DIB (black, white) from a Mac black and white image and its mask,
// both with rows of side / 8 bytes, top down, 1 for black and for opaque.
std::vector<std::uint8_t> dib1(int side, const std::uint8_t* image, const std::uint8_t* mask)
{
    const auto n = static_cast<std::size_t>(side);
    const std::size_t in = n / 8;
    const std::size_t row = (n + 31) / 32 * 4;
    std::vector<std::uint8_t> out;
    out.reserve(40 + 8 + 2 * row * n);
    putLe32(out, 40);
    putLe32(out, static_cast<std::uint32_t>(side));
    putLe32(out, static_cast<std::uint32_t>(side * 2));
    putLe16(out, 1);
    putLe16(out, 1);
    putLe32(out, 0);
    putLe32(out, static_cast<std::uint32_t>(2 * row * n));
    putLe32(out, 0);
    putLe32(out, 0);
    putLe32(out, 2);
    putLe32(out, 0);
    putLe32(out, 0x00000000); // 0: black, and nothing over the screen where the mask shows it
    putLe32(out, 0x00FFFFFF);
    for (int part = 0; part < 2; ++part) {
        for (std::size_t y = n; y-- > 0;) {
            for (std::size_t x = 0; x < row; ++x) {
                std::uint8_t b = 0;
                if (x < in) {
                    // Mac black (1) is colour 0; a transparent pixel is colour 0 under an AND bit
                    // of 1, which leaves the screen as it is.
                    b = part == 0 ? static_cast<std::uint8_t>(~image[y * in + x] & mask[y * in + x])
                                  : static_cast<std::uint8_t>(~mask[y * in + x]);
                }
                out.push_back(b);
            }
        }
    }
    return out;
}

std::string printableType(const std::uint8_t* t)
{
    std::string s(reinterpret_cast<const char*>(t), 4);
    for (char& c : s) {
        if (c < 0x20 || c > 0x7E) c = '?';
    }
    return s;
}

class IcnsReader {
public:
    IcnsReader(std::shared_ptr<const ByteSource> file, const ReaderLimits& limits)
        : file_(std::move(file)), limits_(limits)
    {}

    IcoOfFile read()
    {
        IcoOfFile out;
        out.kind = IconFileKind::Icns;
        walk();
        out.skipped = std::move(skipped_);
        for (Pending& p : pending_) finish(p);
        out.ico = buildIco(file_, std::move(images_));
        out.skipped.insert(out.skipped.end(), finishSkipped_.begin(), finishSkipped_.end());
        return out;
    }

private:
    struct Range {
        std::uint64_t offset = 0, size = 0;
    };
    // An image chunk, in file order; classic ones are made once their masks are known.
    struct Pending {
        std::string type;
        Range data;
        int classic = -1; // index into kClassic
        int mono = -1;    // index into kMono
        bool argb = false;
        std::optional<codecs::ImageInfo> png;
    };

    void walk()
    {
        std::uint8_t head[kChunkHeader];
        if (!file_->read(0, head, sizeof head)) {
            skipped_.push_back("icns: file too short");
            return;
        }
        const std::uint64_t end = std::min<std::uint64_t>(file_->size(), be32(head + 4));
        std::uint64_t pos = kChunkHeader;
        std::uint64_t chunksLeft = limits_.icnsChunks;
        while (pos + kChunkHeader <= end) {
            if (chunksLeft-- == 0) {
                skipped_.push_back("icns: chunks past the first " + std::to_string(limits_.icnsChunks) +
                                   " are not read");
                return;
            }
            if (!file_->read(pos, head, sizeof head)) return;
            const std::uint64_t length = be32(head + 4);
            const std::string type = printableType(head);
            if (length < kChunkHeader || length > end - pos) {
                skipped_.push_back(type + ": damaged chunk length " + std::to_string(length));
                return;
            }
            chunk(head, {pos + kChunkHeader, length - kChunkHeader});
            pos += length;
        }
    }

    void chunk(const std::uint8_t* type, Range data)
    {
        const std::string name = printableType(type);
        const auto is = [&](const char* t) { return std::memcmp(type, t, 4) == 0; };
        for (int k = 0; k < static_cast<int>(std::size(kClassic)); ++k) {
            if (is(kClassic[k].mask)) {
                if (!masks_[k]) masks_[k] = data;
                return;
            }
            if (is(kClassic[k].image)) {
                if (firstOfItsKind(name)) pending_.push_back({name, data, k, -1, false, std::nullopt});
                return;
            }
        }
        for (int k = 0; k < static_cast<int>(std::size(kMono)); ++k) {
            if (is(kMono[k].type)) {
                if (firstOfItsKind(name)) pending_.push_back({name, data, -1, k, false, std::nullopt});
                return;
            }
        }
        if (std::none_of(std::begin(kPngTypes), std::end(kPngTypes), is)) return; // no image: names, tables
        const auto head = file_->bytes(data.offset, std::min(data.size, kHeadBytes));
        if (!head) return;
        if (startsWith(*head, kPngSignature, 8)) {
            if (const auto info = pngHeader(*head, limits_)) {
                pending_.push_back({name, data, -1, -1, false, info});
            } else {
                skipped_.push_back(name + ": damaged PNG image");
            }
        } else if (startsWith(*head, kJp2Signature, 8) || startsWith(*head, kJ2kCodestream, 4)) {
            skipped_.push_back(name + ": JPEG 2000 images are not read");
        } else if ((is("ic04") || is("ic05")) && startsWith(*head, reinterpret_cast<const std::uint8_t*>("ARGB"), 4)) {
            if (firstOfItsKind(name)) pending_.push_back({name, data, -1, -1, true, std::nullopt});
        } else {
            skipped_.push_back(name + ": not a PNG image");
        }
    }

    // Images decoded here are taken once of each kind, so that however many
    // chunks a file repeats, what it makes them hold stays a few of them.
    bool firstOfItsKind(const std::string& type)
    {
        if (decodedKinds_.insert(type).second) return true;
        skipped_.push_back(type + ": only the first of its kind is read");
        return false;
    }

    void finish(Pending& p)
    {
        if (p.png) {
            IcoImage image(p.png->width, p.png->height, p.png->bits);
            image.fileOffset = p.data.offset;
            image.size = p.data.size;
            images_.push_back(std::move(image));
            return;
        }
        if (p.mono >= 0) {
            const int side = kMono[p.mono].side;
            const std::uint64_t half = static_cast<std::uint64_t>(side * side / 8);
            const auto bits = p.data.size >= 2 * half ? file_->bytes(p.data.offset, 2 * half) : std::nullopt;
            if (!bits) {
                finishSkipped_.push_back(p.type + ": damaged image");
                return;
            }
            add(side, 1, dib1(side, bits->data(), bits->data() + half));
            return;
        }
        const int side = p.argb ? (p.type == "ic04" ? 16 : 32) : kClassic[p.classic].side;
        const int planes = p.argb ? 4 : 3;
        const std::uint64_t skip = p.argb ? 4 : kClassic[p.classic].skip;
        const auto data = p.data.size >= skip ? file_->bytes(p.data.offset + skip,
                                                             std::min(p.data.size - skip, packedBound(side, planes)))
                                              : std::nullopt;
        const auto unpacked = data ? unpackPlanes(*data, side, planes) : std::nullopt;
        if (!unpacked) {
            finishSkipped_.push_back(p.type + ": damaged image");
            return;
        }
        const std::size_t n = static_cast<std::size_t>(side) * static_cast<std::size_t>(side);
        std::optional<std::vector<std::uint8_t>> alpha;
        if (!p.argb && masks_[p.classic]) {
            const Range mask = *masks_[p.classic];
            // A mask cut short is no mask: the image shows opaque.
            if (mask.size >= n) alpha = file_->bytes(mask.offset, n);
            if (!alpha) finishSkipped_.push_back(std::string(kClassic[p.classic].mask) + ": damaged mask");
        }
        add(side, 32, dib32(side, pixelsOfPlanes(*unpacked, n, p.argb, alpha ? alpha->data() : nullptr)));
    }

    void add(int side, int bits, std::vector<std::uint8_t> dib)
    {
        IcoImage image(side, side, bits);
        image.size = dib.size();
        image.bytes = std::move(dib);
        images_.push_back(std::move(image));
    }

    std::shared_ptr<const ByteSource> file_;
    const ReaderLimits& limits_;
    std::vector<std::string> skipped_;
    std::vector<std::string> finishSkipped_;
    std::vector<Pending> pending_;
    std::array<std::optional<Range>, std::size(kClassic)> masks_;
    std::set<std::string> decodedKinds_;
    std::vector<IcoImage> images_;
};

} // namespace

IcoOfFile icoOfPngOrIcns(std::shared_ptr<const ByteSource> file, const ReaderLimits& limits)
{
    std::uint8_t magic[8] = {};
    const std::size_t have = static_cast<std::size_t>(std::min<std::uint64_t>(file->size(), sizeof magic));
    if (!file->read(0, magic, have)) return {};
    if (have == 8 && std::memcmp(magic, kPngSignature, 8) == 0) return readPng(std::move(file), limits);
    if (have >= 4 && std::memcmp(magic, "icns", 4) == 0) return IcnsReader(std::move(file), limits).read();
    return {};
}

} // namespace vextral::platform
