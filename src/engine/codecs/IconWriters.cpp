#include "codecs/Writers.h"

#include "codecs/AreaScaler.h"
#include "core/Bytes.h"
#include "core/Error.h"

#include <algorithm>
#include <cmath>

namespace vextral::codecs {

namespace {

// The largest side an icon directory can state.
constexpr int kMaxIconSide = 256;

// A 24-bit picture with a side over 256 scaled by the area filter to fit
// 256 x 256, its proportions kept (each side rounded, at least 1 pixel);
// any other as it is.
Picture fittedToIcon(Picture picture)
{
    if (picture.width <= kMaxIconSide && picture.height <= kMaxIconSide) return picture;
    const double scale = static_cast<double>(kMaxIconSide) / std::max(picture.width, picture.height);
    const auto side = [scale](int n) { return std::clamp(static_cast<int>(std::lround(n * scale)), 1, kMaxIconSide); };
    const int w = side(picture.width), h = side(picture.height);
    AreaScaler scaler(picture.width, picture.height, w, h, 3);
    std::vector<double> row(static_cast<std::size_t>(picture.width) * 3);
    for (int y = 0; y < picture.height; ++y) {
        const std::uint8_t* p = picture.row(y);
        for (std::size_t i = 0; i < row.size(); ++i) row[i] = p[i];
        scaler.addRow(y, row.data());
    }
    const std::vector<double> values = scaler.result();
    Picture out = Picture::make(w, h);
    for (std::size_t i = 0; i < values.size(); ++i)
        out.pixels[i] = static_cast<std::uint8_t>(std::clamp(std::lround(values[i]), 0L, 255L));
    return out;
}

// The picture as an icon or cursor file: one 32-bit image, every pixel
// opaque, the AND mask clear. A picture larger than an icon can be is
// scaled to fit 256 x 256 first.
std::vector<std::uint8_t> pictureAsIconFile(const Picture& source, bool cursor)
{
    const Picture picture = fittedToIcon(to24Bit(source));
    const auto w = static_cast<std::uint32_t>(picture.width);
    const auto h = static_cast<std::uint32_t>(picture.height);
    const std::uint32_t maskStride = ((w + 31) / 32) * 4;
    const std::uint64_t imageBytes = 40 + std::uint64_t {w} * h * 4 + std::uint64_t {maskStride} * h;
    std::vector<std::uint8_t> out;
    out.reserve(22 + static_cast<std::size_t>(imageBytes));
    putLe16(out, 0);
    putLe16(out, cursor ? 2 : 1);
    putLe16(out, 1);
    out.push_back(static_cast<std::uint8_t>(w == 256 ? 0 : w)); // 0 stands for 256
    out.push_back(static_cast<std::uint8_t>(h == 256 ? 0 : h));
    out.push_back(0);
    out.push_back(0);
    putLe16(out, cursor ? 0 : 1);  // cursor: hotspot x
    putLe16(out, cursor ? 0 : 32); // cursor: hotspot y
    putLe32(out, static_cast<std::uint32_t>(imageBytes));
    putLe32(out, 22);
    putLe32(out, 40);
    putLe32(out, w);
    putLe32(out, h * 2);
    putLe16(out, 1);
    putLe16(out, 32);
    putLe32(out, 0);
    putLe32(out, static_cast<std::uint32_t>(imageBytes - 40));
    for (int i = 0; i < 4; ++i) putLe32(out, 0);
    for (int y = picture.height - 1; y >= 0; --y) {
        const std::uint8_t* row = picture.row(y);
        for (int x = 0; x < picture.width; ++x)
            out.insert(out.end(), {row[3 * x], row[3 * x + 1], row[3 * x + 2], 0xFF});
    }
    out.insert(out.end(), static_cast<std::size_t>(maskStride) * h, 0);
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
