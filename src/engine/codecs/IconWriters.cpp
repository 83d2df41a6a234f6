#include "codecs/Writers.h"

#include "codecs/AreaScaler.h"
#include "codecs/IconPicture.h"
#include "core/Bytes.h"
#include "core/Error.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>

namespace vextral::codecs {

namespace {

// The sides an icon file made of a picture holds, each up to the picture's
// own longest side (16 always). An icon directory states at most 256.
constexpr std::array<int, 7> kIconSides = {16, 24, 32, 48, 64, 128, 256};
constexpr int kMaxIconSide = 256;
// The classic image old readers look for: 16 colours at 32 x 32.
constexpr int kClassicSide = 32;
constexpr int kClassicColours = 16;

// Pixel (x, y) of a picture with its alpha: its own straight alpha pixels when
// it keeps its transparency, else the pixels as drawn, opaque.
class PictureRows {
public:
    explicit PictureRows(const Picture& picture) : picture_(picture), withAlpha_(picture.keepsTransparency()) {}

    std::uint32_t argb(int x, int y) const
    {
        if (withAlpha_)
            return picture_.argb[static_cast<std::size_t>(y) * static_cast<std::size_t>(picture_.width) +
                                 static_cast<std::size_t>(x)];
        return opaque(x, y).rgb() | 0xFF000000u;
    }
    Bgr opaque(int x, int y) const
    {
        if (picture_.bits == 1) return picture_.pixel(x, y);
        const std::uint8_t* p = picture_.row(y) + 3 * static_cast<std::size_t>(x);
        return {p[0], p[1], p[2]};
    }

private:
    const Picture& picture_;
    bool withAlpha_;
};

// The picture's sides fitted into a square of side s, proportions kept, each
// side rounded and at least 1 pixel.
struct FittedSides {
    int width, height;
};
FittedSides fittedInto(const Picture& picture, int side)
{
    const double scale = static_cast<double>(side) / std::max(picture.width, picture.height);
    const auto fit = [scale, side](int n) { return std::clamp(static_cast<int>(std::lround(n * scale)), 1, side); };
    return {fit(picture.width), fit(picture.height)};
}

// The picture as an alpha icon picture no larger than an icon can be: as it
// is when both sides are within 256, else shrunk by the area filter straight
// from its rows to fit 256 x 256. Only a row of the picture is ever held
// beside it, so a picture of 16384 x 16384 costs a few megabytes here.
IconPicture iconBase(const Picture& picture)
{
    const PictureRows rows(picture);
    if (picture.width <= kMaxIconSide && picture.height <= kMaxIconSide) {
        IconPicture base = IconPicture::make(picture.width, picture.height, true);
        for (int y = 0; y < picture.height; ++y) {
            for (int x = 0; x < picture.width; ++x) {
                const std::uint32_t c = rows.argb(x, y);
                base.colour[base.at(x, y)] = c;
                base.mask[base.at(x, y)] = (c >> 24) == 0 ? 1 : 0;
            }
        }
        return base;
    }
    const FittedSides sides = fittedInto(picture, kMaxIconSide);
    AreaScaler scaler(picture.width, picture.height, sides.width, sides.height, 4);
    std::vector<double> row(static_cast<std::size_t>(picture.width) * 4);
    for (int y = 0; y < picture.height; ++y) {
        for (int x = 0; x < picture.width; ++x) splitAlphaPixel(rows.argb(x, y), &row[static_cast<std::size_t>(x) * 4]);
        scaler.addRow(y, row.data());
    }
    const std::vector<double>& values = scaler.result();
    IconPicture base = IconPicture::make(sides.width, sides.height, true);
    const auto round = [](double v) { return static_cast<std::uint32_t>(std::lround(std::clamp(v, 0.0, 255.0))); };
    for (std::size_t i = 0; i < base.colour.size(); ++i) {
        const double* v = &values[i * 4];
        const std::uint32_t a = round(v[3]);
        base.mask[i] = a == 0 ? 1 : 0;
        base.colour[i] =
            a == 0 ? 0u : a << 24 | round(v[0] / v[3]) << 16 | round(v[1] / v[3]) << 8 | round(v[2] / v[3]);
    }
    return base;
}

// The picture fitted into side x side: scaled with its proportions kept
// (area filter down, bilinear up), centred, the rest transparent. Straight
// alpha pixels, rows top to bottom; a fully transparent pixel is 0.
std::vector<std::uint32_t> fittedImage(const Picture& picture, const IconPicture& base, int side)
{
    const FittedSides sides = fittedInto(picture, side);
    const IconPicture scaled = scaleIconPicture(base, sides.width, sides.height);
    std::vector<std::uint32_t> out(static_cast<std::size_t>(side) * static_cast<std::size_t>(side), 0);
    const int left = (side - sides.width) / 2, top = (side - sides.height) / 2;
    for (int y = 0; y < sides.height; ++y) {
        for (int x = 0; x < sides.width; ++x) {
            const std::uint32_t c = scaled.colour[scaled.at(x, y)];
            out[static_cast<std::size_t>(top + y) * static_cast<std::size_t>(side) +
                static_cast<std::size_t>(left + x)] = scaled.mask[scaled.at(x, y)] || (c >> 24) == 0 ? 0u : c;
        }
    }
    return out;
}

// The colours of the picture as drawn, in the order they first appear, when
// there are at most kClassicColours of them; else empty. Stops at the first
// colour too many.
std::vector<Bgr> fewColours(const Picture& picture)
{
    const PictureRows rows(picture);
    std::vector<Bgr> colours;
    Bgr last = rows.opaque(0, 0);
    colours.push_back(last);
    for (int y = 0; y < picture.height; ++y) {
        for (int x = 0; x < picture.width; ++x) {
            const Bgr c = rows.opaque(x, y);
            if (c == last) continue;
            last = c;
            if (std::find(colours.begin(), colours.end(), c) != colours.end()) continue;
            if (colours.size() == kClassicColours) return {};
            colours.push_back(c);
        }
    }
    return colours;
}

// The AND mask of a side x side image, rows bottom to top, each padded to
// 32 bits: a bit set where the pixel shows the background.
void putMask(std::vector<std::uint8_t>& out, int side, const std::function<bool(int x, int y)>& transparent)
{
    const std::size_t stride = ((static_cast<std::size_t>(side) + 31) / 32) * 4;
    for (int y = side - 1; y >= 0; --y) {
        std::vector<std::uint8_t> row(stride, 0);
        for (int x = 0; x < side; ++x) {
            if (transparent(x, y)) row[static_cast<std::size_t>(x) / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
        }
        out.insert(out.end(), row.begin(), row.end());
    }
}

// A BITMAPINFOHEADER of an icon image: the height counts the colours and the mask.
void putInfoHeader(std::vector<std::uint8_t>& out, int side, int bits, std::uint32_t imageBytes, int paletteSize)
{
    putLe32(out, 40);
    putLe32(out, static_cast<std::uint32_t>(side));
    putLe32(out, static_cast<std::uint32_t>(side) * 2);
    putLe16(out, 1);
    putLe16(out, static_cast<std::uint16_t>(bits));
    putLe32(out, 0);
    putLe32(out, imageBytes);
    putLe32(out, 0);
    putLe32(out, 0);
    putLe32(out, static_cast<std::uint32_t>(paletteSize));
    putLe32(out, 0);
}

// A 32-bit image: blue, green, red, alpha rows bottom to top, then the AND
// mask, set where alpha is below 128 (as icotool sets it).
std::vector<std::uint8_t> bgraImage(int side, const std::vector<std::uint32_t>& argb)
{
    const auto n = static_cast<std::size_t>(side);
    const std::size_t maskBytes = ((n + 31) / 32) * 4 * n;
    std::vector<std::uint8_t> out;
    out.reserve(40 + n * n * 4 + maskBytes);
    putInfoHeader(out, side, 32, static_cast<std::uint32_t>(n * n * 4 + maskBytes), 0);
    for (int y = side - 1; y >= 0; --y) {
        for (std::size_t x = 0; x < n; ++x) {
            const std::uint32_t c = argb[static_cast<std::size_t>(y) * n + x];
            out.insert(out.end(), {static_cast<std::uint8_t>(c), static_cast<std::uint8_t>(c >> 8),
                                   static_cast<std::uint8_t>(c >> 16), static_cast<std::uint8_t>(c >> 24)});
        }
    }
    putMask(out, side, [&](int x, int y) { return (argb[static_cast<std::size_t>(y) * n + x] >> 24) < 128; });
    return out;
}

// The classic image: the picture at 32 x 32 in its own few colours, four
// bits a pixel. Each pixel is the picture's pixel nearest its centre, so
// every colour is one of the palette's; pixels outside the fitted picture,
// or whose alpha is below 128, are masked, and black under the mask (so
// that a reader that draws the colours over the masked screen changes
// nothing there). Empty when black is needed and 16 colours leave no room.
std::vector<std::uint8_t> classicImage(const Picture& picture, std::vector<Bgr> palette)
{
    const PictureRows rows(picture);
    const FittedSides sides = fittedInto(picture, kClassicSide);
    const int left = (kClassicSide - sides.width) / 2, top = (kClassicSide - sides.height) / 2;
    constexpr std::size_t n = kClassicSide;
    std::vector<int> index(n * n, -1); // -1: masked
    for (int y = 0; y < sides.height; ++y) {
        const int sy = std::min(picture.height - 1, static_cast<int>((y + 0.5) * picture.height / sides.height));
        for (int x = 0; x < sides.width; ++x) {
            const int sx = std::min(picture.width - 1, static_cast<int>((x + 0.5) * picture.width / sides.width));
            if ((rows.argb(sx, sy) >> 24) < 128) continue;
            const Bgr c = rows.opaque(sx, sy);
            index[static_cast<std::size_t>(top + y) * n + static_cast<std::size_t>(left + x)] =
                static_cast<int>(std::find(palette.begin(), palette.end(), c) - palette.begin());
        }
    }
    if (std::find(index.begin(), index.end(), -1) != index.end()) {
        const auto black = std::find(palette.begin(), palette.end(), Bgr {});
        if (black == palette.end() && palette.size() == kClassicColours) return {};
        const int under = static_cast<int>(black - palette.begin());
        if (black == palette.end()) palette.push_back({});
        for (int& i : index) {
            if (i < 0) i = -1 - under; // masked, the index of black
        }
    }
    const std::size_t colourBytes = n * n / 2, maskBytes = 4 * n;
    std::vector<std::uint8_t> out;
    putInfoHeader(out, kClassicSide, 4, static_cast<std::uint32_t>(colourBytes + maskBytes), kClassicColours);
    for (int i = 0; i < kClassicColours; ++i) {
        const Bgr c = i < static_cast<int>(palette.size()) ? palette[static_cast<std::size_t>(i)] : Bgr {};
        out.insert(out.end(), {c.b, c.g, c.r, 0});
    }
    for (int y = kClassicSide - 1; y >= 0; --y) {
        for (std::size_t x = 0; x < n; x += 2) {
            const auto at = [&](std::size_t i) {
                const int k = index[static_cast<std::size_t>(y) * n + i];
                return static_cast<unsigned>(k < 0 ? -1 - k : k);
            };
            out.push_back(static_cast<std::uint8_t>(at(x) << 4 | at(x + 1)));
        }
    }
    putMask(out, kClassicSide, [&](int x, int y) { return index[static_cast<std::size_t>(y) * n + x] < 0; });
    return out;
}

struct IconEntry {
    int side;
    int bits;
    int paletteSize;
    std::vector<std::uint8_t> bytes;
};

// The picture as an icon or cursor file (cursors with the hotspot at 0, 0):
// a 32-bit image of every standard side up to the picture's own (16 at
// least), the 256 one PNG-compressed, plus the classic 16-colour image at 32
// x 32 when the picture has no more colours than that. Entries by side, the
// classic image before the 32-bit one of its side.
std::vector<std::uint8_t> pictureAsIconFile(const Picture& picture, bool cursor)
{
    const int longest = std::max(picture.width, picture.height);
    const IconPicture base = iconBase(picture);
    const std::vector<Bgr> palette = fewColours(picture);
    std::vector<IconEntry> entries;
    std::vector<std::uint8_t> classic;
    if (!palette.empty()) classic = classicImage(picture, palette);
    for (const int side : kIconSides) {
        if (side > longest && side != kIconSides.front()) break;
        if (side == kClassicSide && !classic.empty()) {
            entries.push_back({side, 4, kClassicColours, std::move(classic)});
            classic.clear(); // taken
        }
        const std::vector<std::uint32_t> argb = fittedImage(picture, base, side);
        if (side == kMaxIconSide) {
            MemorySink png;
            writePngArgb(side, side, argb, png);
            entries.push_back({side, 32, 0, png.bytes()});
        } else {
            entries.push_back({side, 32, 0, bgraImage(side, argb)});
        }
    }
    // A picture smaller than 32 has its classic image last, enlarged.
    if (!classic.empty()) entries.push_back({kClassicSide, 4, kClassicColours, std::move(classic)});
    std::vector<std::uint8_t> out;
    putLe16(out, 0);
    putLe16(out, cursor ? 2 : 1);
    putLe16(out, static_cast<std::uint16_t>(entries.size()));
    std::size_t offset = 6 + 16 * entries.size();
    for (const IconEntry& e : entries) {
        out.push_back(static_cast<std::uint8_t>(e.side == 256 ? 0 : e.side)); // 0 stands for 256
        out.push_back(static_cast<std::uint8_t>(e.side == 256 ? 0 : e.side));
        out.push_back(static_cast<std::uint8_t>(e.paletteSize));
        out.push_back(0);
        putLe16(out, cursor ? 0 : 1);                                  // cursor: hotspot x
        putLe16(out, cursor ? 0 : static_cast<std::uint16_t>(e.bits)); // cursor: hotspot y
        putLe32(out, static_cast<std::uint32_t>(e.bytes.size()));
        putLe32(out, static_cast<std::uint32_t>(offset));
        offset += e.bytes.size();
    }
    for (const IconEntry& e : entries) out.insert(out.end(), e.bytes.begin(), e.bytes.end());
    return out;
}

} // namespace

void writeIco(ImageBuffer& buffer, Sink& sink)
{
    beginWrite(buffer, sink);
    sink.write(pictureAsIconFile(buffer.picture(), false));
}

void writeCur(ImageBuffer& buffer, Sink& sink)
{
    beginWrite(buffer, sink);
    sink.write(pictureAsIconFile(buffer.picture(), true));
}

// A placeable Windows metafile: the 22-byte placeable header, the metafile
// header, the window origin and extent, one StretchDIB record holding the
// picture as a 24-bit DIB, and the end record. Sizes in records are in 16-bit words.
void writeWmf(ImageBuffer& buffer, Sink& sink)
{
    beginWrite(buffer, sink);
    const Picture picture = to24Bit(buffer.picture());
    if (picture.width > 32767 || picture.height > 32767) throw Error("The picture is too large for a metafile");
    const auto w = static_cast<std::uint16_t>(picture.width);
    const auto h = static_cast<std::uint16_t>(picture.height);
    const std::uint32_t stride = ((std::uint32_t {w} * 24 + 31) / 32) * 4;
    const std::uint32_t dibBytes = 40 + stride * h;
    const std::uint32_t stretchWords = 3 + 2 + 9 + (dibBytes + 1) / 2; // size, function, rop, 9 words, DIB
    const std::uint32_t totalWords = 9 + 5 + 5 + stretchWords + 3;

    std::vector<std::uint8_t> out;
    // Placeable header: key, handle, bounding box, units per inch, reserved, checksum.
    std::vector<std::uint8_t> placeable;
    putLe32(placeable, 0x9AC6CDD7u);
    putLe16(placeable, 0);
    putLe16(placeable, 0);
    putLe16(placeable, 0);
    putLe16(placeable, w);
    putLe16(placeable, h);
    putLe16(placeable, 96);
    putLe32(placeable, 0);
    std::uint16_t checksum = 0;
    for (std::size_t i = 0; i < placeable.size(); i += 2) checksum ^= le16(placeable.data() + i);
    putLe16(placeable, checksum);
    out.insert(out.end(), placeable.begin(), placeable.end());
    // Metafile header.
    putLe16(out, 1);      // a metafile on disk
    putLe16(out, 9);      // header size in words
    putLe16(out, 0x0300); // version
    putLe32(out, totalWords);
    putLe16(out, 0);            // objects
    putLe32(out, stretchWords); // largest record
    putLe16(out, 0);
    // SetWindowOrg(0, 0) and SetWindowExt(w, h): parameters are y then x.
    putLe32(out, 5);
    putLe16(out, 0x020B);
    putLe16(out, 0);
    putLe16(out, 0);
    putLe32(out, 5);
    putLe16(out, 0x020C);
    putLe16(out, h);
    putLe16(out, w);
    // StretchDIB: raster operation SRCCOPY, colours DIB_RGB_COLORS, source and destination rectangles.
    putLe32(out, stretchWords);
    putLe16(out, 0x0F43);
    putLe32(out, 0x00CC0020u);
    putLe16(out, 0); // usage
    putLe16(out, h); // source height
    putLe16(out, w); // source width
    putLe16(out, 0); // source y
    putLe16(out, 0); // source x
    putLe16(out, h); // destination height
    putLe16(out, w); // destination width
    putLe16(out, 0); // destination y
    putLe16(out, 0); // destination x
    putLe32(out, 40);
    putLe32(out, w);
    putLe32(out, h);
    putLe16(out, 1);
    putLe16(out, 24);
    putLe32(out, 0);
    putLe32(out, stride * h);
    for (int i = 0; i < 4; ++i) putLe32(out, 0);
    for (int y = picture.height - 1; y >= 0; --y) {
        const std::uint8_t* row = picture.row(y);
        out.insert(out.end(), row, row + 3 * static_cast<std::size_t>(w));
        out.insert(out.end(), stride - 3 * std::size_t {w}, 0);
    }
    if (dibBytes & 1) out.push_back(0);
    // End of file.
    putLe32(out, 3);
    putLe16(out, 0);
    sink.write(out);
}

} // namespace vextral::codecs
