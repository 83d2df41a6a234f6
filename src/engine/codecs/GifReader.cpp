#include "codecs/GifReader.h"

#include "codecs/GifLzw.h"
#include "codecs/PictureReader.h"

#include <algorithm>
#include <new>
#include <optional>
#include <vector>

// The GIF reader in three steps over the file's bytes: the screen (header,
// logical screen descriptor, global table), the blocks up to the wanted
// image (extensions, other images passed over), and the image (descriptor,
// local table, data decoded once).

namespace vextral::codecs {

namespace {

constexpr char kDamaged[] = "unrecognized GIF";
const Bgr kBlack {0, 0, 0};
const Bgr kWhite {255, 255, 255};
// The display resolution the reader reports, in pixels per inch.
constexpr int kScreenResolution = 96;

// Raised inside this file for bytes that are not a (whole) GIF; readGif
// turns it into its reason.
struct NotAGif {};

std::uint8_t take8(ByteReader& r)
{
    if (r.left() < 1) throw NotAGif {};
    return r.data[r.pos++];
}

std::uint16_t take16(ByteReader& r)
{
    const std::uint16_t lo = take8(r);
    return static_cast<std::uint16_t>(lo | take8(r) << 8);
}

void skipBytes(ByteReader& r, std::size_t n)
{
    if (r.left() < n) throw NotAGif {};
    r.pos += n;
}

// Sub-blocks up to and including the zero-length one.
void skipSubBlocks(ByteReader& r)
{
    for (;;) {
        const std::size_t n = take8(r);
        if (n == 0) return;
        skipBytes(r, n);
    }
}

// A colour table of 2^(size + 1) entries, stored red, green, blue.
std::vector<Bgr> readTable(ByteReader& r, int sizeField)
{
    const std::size_t entries = std::size_t {1} << (sizeField + 1);
    if (r.left() < 3 * entries) throw NotAGif {};
    std::vector<Bgr> table(entries);
    for (Bgr& c : table) {
        c.r = r.data[r.pos];
        c.g = r.data[r.pos + 1];
        c.b = r.data[r.pos + 2];
        r.pos += 3;
    }
    return table;
}

Bgr entryOr(const std::vector<Bgr>& table, std::size_t index, Bgr otherwise)
{
    return index < table.size() ? table[index] : otherwise;
}

// The most pixels that n bytes of LZW data can yield. A code of width w
// expands to at most 2^w + 3 values (the table cannot hold more before the
// width grows), so no bit gives more than (4096 + 3) / 12 < 342 pixels.
std::uint64_t mostPixels(std::size_t bytes) { return (static_cast<std::uint64_t>(bytes) * 8 + 12) * 342; }

// ---------------------------------------------------------------- screen

struct Screen {
    std::uint8_t flags = 0;
    std::uint8_t backgroundIndex = 0;
    std::vector<Bgr> table; // the global table, when there is one
};

// The header and the logical screen descriptor with the global table; the
// screen's fields go to params. Nothing when the bytes are not a GIF. Nothing
// is set aside for the screen, so any size it gives is kept.
std::optional<Screen> readScreen(ByteReader& r, IOParams& params)
{
    if (r.size < 3 || r.data[0] != 'G' || r.data[1] != 'I' || r.data[2] != 'F' || r.size < 13) return std::nullopt;
    params.gifVersion.assign(reinterpret_cast<const char*>(r.data), 6);
    r.pos = 6;
    Screen screen;
    params.gifScreenWidth = take16(r);
    params.gifScreenHeight = take16(r);
    screen.flags = take8(r);
    screen.backgroundIndex = take8(r);
    params.gifAspect = take8(r);
    params.resolutionX = params.resolutionY = kScreenResolution;
    params.samples = 1;
    if (screen.flags & 0x80) {
        screen.table = readTable(r, screen.flags & 7);
        params.gifBackground = entryOr(screen.table, screen.backgroundIndex, kBlack);
    }
    return screen;
}

// ---------------------------------------------------------------- blocks

// The graphic control extension of the wanted image.
struct Control {
    std::uint8_t flags = 0;
    std::uint8_t transparentIndex = 0;
    std::uint16_t delay = 0;
};

// An extension block after its introducer; a graphic control extension is
// kept in control when it belongs to the wanted image.
void readExtension(ByteReader& r, bool wanted, Control& control)
{
    const std::uint8_t label = take8(r);
    if (label == 0xF9 && wanted) {
        const std::size_t size = take8(r);
        if (r.left() < size) throw NotAGif {};
        if (size >= 4) {
            control.flags = r.data[r.pos];
            control.delay = static_cast<std::uint16_t>(r.data[r.pos + 1] | r.data[r.pos + 2] << 8);
            control.transparentIndex = r.data[r.pos + 3];
        }
        r.pos += size;
    }
    skipSubBlocks(r);
}

struct Descriptor {
    std::uint16_t left = 0, top = 0, width = 0, height = 0;
    std::uint8_t flags = 0;
    std::vector<Bgr> localTable;
    bool hasLocal() const { return (flags & 0x80) != 0; }
    bool interlaced() const { return (flags & 0x40) != 0; }
};

// An image descriptor after its introducer, with its local table.
Descriptor readDescriptor(ByteReader& r)
{
    Descriptor d;
    d.left = take16(r);
    d.top = take16(r);
    d.width = take16(r);
    d.height = take16(r);
    d.flags = take8(r);
    if (d.hasLocal()) d.localTable = readTable(r, d.flags & 7);
    return d;
}

// Goes through the blocks to the descriptor of image number wanted, passing
// over the extensions and the other images; the reader is left at its data.
// Nothing when the trailer or the end of the file comes first.
std::optional<Descriptor> findImage(ByteReader& r, int wanted, Control& control)
{
    int image = 0;
    while (r.left() != 0) { // the end of the file counts as a trailer
        const std::uint8_t introducer = r.data[r.pos++];
        if (introducer == 0x3B) break;
        if (introducer == 0x21) {
            readExtension(r, image == wanted, control);
            continue;
        }
        if (introducer != 0x2C) continue; // stray byte between blocks
        Descriptor d = readDescriptor(r);
        if (image == wanted) return d;
        // Another image: its minimum code size byte and data sub-blocks.
        skipBytes(r, 1);
        skipSubBlocks(r);
        ++image;
    }
    return std::nullopt;
}

// ---------------------------------------------------------------- image

// The image's data decoded into the picture: table colours for the pixels
// the data reaches (black for indices past the table), black for the rest.
// Pixels of the index transparent, when given, are white. Nothing when the
// data could not be started; raises the picture size error for a side above
// the limit.
std::optional<Picture> decodeImage(ByteReader& r, const Descriptor& d, const std::vector<Bgr>& table,
                                   std::optional<std::uint8_t> transparent, const ReaderLimits& limits)
{
    const int width = d.width, height = d.height;
    const std::uint64_t total = static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height);
    // Refuse sizes the data left in the file could never fill, before
    // allocating for them.
    if (total > mostPixels(r.left())) throw NotAGif {};
    checkPictureSize(width, height, limits.pictureSide);
    const std::size_t start = r.pos;
    const auto w = static_cast<std::size_t>(width);
    // How many pixels of row y the data reached (rows are filled in their
    // interlace order).
    const std::vector<int> order = gifRowOrder(height, d.interlaced());
    std::vector<std::uint64_t> rankOf(order.size());
    for (std::size_t rank = 0; rank < order.size(); ++rank) rankOf[static_cast<std::size_t>(order[rank])] = rank;
    const auto reached = [&](int y, std::uint64_t filled) -> std::size_t {
        const std::uint64_t rowStart = rankOf[static_cast<std::size_t>(y)] * w;
        return rowStart >= filled ? 0 : static_cast<std::size_t>(std::min<std::uint64_t>(w, filled - rowStart));
    };

    // Over white, a black and white table stays black and white.
    const bool blackAndWhite = table.size() == 2 && table[0] == kBlack && table[1] == kWhite;
    if (blackAndWhite) {
        std::vector<std::uint8_t> indices(static_cast<std::size_t>(total), 0);
        const std::uint64_t filled = decodeGif(r, height, width, d.interlaced(), indices.data());
        if (r.pos == start) return std::nullopt;
        Picture picture = Picture::make(width, height, 1);
        for (int y = 0; y < height; ++y) {
            const std::uint8_t* src = indices.data() + static_cast<std::size_t>(y) * w;
            const std::size_t n = reached(y, filled);
            for (std::size_t x = 0; x < n; ++x) {
                if (src[x] == 1 || src[x] == transparent) picture.setBit(static_cast<int>(x), y, true);
            }
        }
        return picture;
    }
    // A true-colour picture holds its own indices while they are decoded: in
    // the last width x height bytes of its pixels. Row y's colours (3 bytes
    // a pixel from y * 3 * width on) are then written from the top down;
    // they never reach an index not yet read, as the indices of row y begin
    // 2 * width * (height - y) bytes further on. So the picture takes no
    // more than its own size.
    Picture picture = Picture::make(width, height, 24);
    std::uint8_t* const pixels = picture.pixels.data();
    std::uint8_t* const indices = pixels + picture.pixels.size() - static_cast<std::size_t>(total);
    const std::uint64_t filled = decodeGif(r, height, width, d.interlaced(), indices);
    if (r.pos == start) return std::nullopt;
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* src = indices + static_cast<std::size_t>(y) * w;
        std::uint8_t* dst = picture.row(y);
        const std::size_t n = reached(y, filled);
        for (std::size_t x = 0; x < w; ++x, dst += 3) {
            const std::uint8_t index = src[x];
            const Bgr c = x >= n ? kBlack : index == transparent ? kWhite : entryOr(table, index, kBlack);
            dst[0] = c.b;
            dst[1] = c.g;
            dst[2] = c.r;
        }
    }
    return picture;
}

// The whole read into params and picture; a reason when it fails.
std::optional<std::string> readInto(std::span<const std::uint8_t> bytes, const ReaderLimits& limits,
                                    GifTransparency transparency, IOParams& params, Picture& picture,
                                    bool& drawnOverWhite)
{
    ByteReader r {bytes.data(), bytes.size(), 0};
    const std::optional<Screen> screen = readScreen(r, params);
    if (!screen) return kDamaged;
    Control control;
    const std::optional<Descriptor> d = findImage(r, params.gifImageIndex, control);
    if (!d) return kDamaged; // the wanted image is not in the file
    const std::vector<Bgr>& table = d->hasLocal() ? d->localTable : screen->table;
    const bool transparent = (control.flags & 1) != 0;
    const bool overWhite = transparent && transparency == GifTransparency::OverWhite;
    std::optional<Picture> decoded =
        decodeImage(r, *d, table, overWhite ? std::optional(control.transparentIndex) : std::nullopt, limits);
    if (!decoded) return kDamaged;
    drawnOverWhite = overWhite;

    params.gifTransparentColor = entryOr(table, control.transparentIndex, kBlack);
    params.gifLeft = d->left;
    params.gifTop = d->top;
    params.imageWidth = d->width;
    params.imageHeight = d->height;
    params.gifDelay = control.delay;
    // Drawn over white, the picture has no transparent part left.
    params.gifTransparent = transparent && !overWhite;
    params.gifInterlaced = d->interlaced();
    params.palette = table;
    params.paletteCount = static_cast<std::int32_t>(table.size());
    params.sampleBits = ((d->hasLocal() ? d->flags : screen->flags) & 7) + 1;
    picture = std::move(*decoded);
    return std::nullopt;
}

} // namespace

ReadStatus readGif(ImageBuffer& buffer, std::span<const std::uint8_t> bytes, const ReaderLimits& limits,
                   GifTransparency transparency)
{
    // Read into copies: a failed read leaves the buffer as it was.
    IOParams params = buffer.params();
    Picture picture;
    std::optional<std::string> failure;
    bool drawnOverWhite = false;
    try {
        failure = readInto(bytes, limits, transparency, params, picture, drawnOverWhite);
    } catch (const NotAGif&) {
        failure = kDamaged;
    } catch (const Error& e) {
        failure = e.what(); // the decoder's "unrecognized GIF", or the picture size error
    } catch (const std::bad_alloc&) {
        failure = kNotEnoughMemory; // within the limits, but not in this process
    }
    if (failure) return readFailure(*failure);
    params.fileType = 2;
    buffer.params() = std::move(params);
    buffer.picture() = std::move(picture);
    // Settings colours hold red in the lowest byte.
    const IOParams& p = buffer.params();
    const Bgr c = drawnOverWhite ? kWhite : p.gifTransparent ? p.gifTransparentColor : p.gifBackground;
    buffer.setBackground(static_cast<settings::Colour>(c.r) | static_cast<settings::Colour>(c.g) << 8 |
                         static_cast<settings::Colour>(c.b) << 16);
    return {};
}

ReadStatus readGifFile(ImageBuffer& buffer, const std::string& fileName, const ReaderLimits& limits,
                       GifTransparency transparency)
{
    const ReadResult<FileBytes> bytes = readPictureBytes(fileName, limits);
    if (!bytes) return readFailure(bytes.reason());
    ReadStatus read = readGif(buffer, bytes->span(), limits, transparency);
    if (read) buffer.params().lastFileName = fileName;
    return read;
}

} // namespace vextral::codecs
