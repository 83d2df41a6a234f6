#include "codecs/Writers.h"

#include "core/Error.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <optional>

// Truevision TGA 2.0, 24-bit true colour (32-bit with 8 bits of alpha for a
// picture that keeps its transparency) with the first row at the top: an
// 18-byte header, the image ID, the rows (run-length packets per row
// or raw), the 495-byte extension area and the "TRUEVISION-XFILE." footer.

namespace vextral::codecs {

namespace {

constexpr std::size_t kExtensionSize = 495;

void put16(std::uint8_t* at, unsigned value)
{
    at[0] = static_cast<std::uint8_t>(value);
    at[1] = static_cast<std::uint8_t>(value >> 8);
}

// Copies text into a zero-filled field of size bytes, leaving room for the
// terminating zero.
void putText(std::uint8_t* at, std::size_t size, const std::string& text)
{
    std::copy_n(text.begin(), std::min(text.size(), size - 1), at);
}

// Trunc(value x 10000), as the 16-bit numerator of a ratio over 10000.
unsigned tenThousandths(double value)
{
    const double scaled = std::trunc(value * 10000.0);
    if (!(scaled > -2147483648.0 && scaled < 2147483648.0)) return 0;
    return static_cast<unsigned>(static_cast<std::int32_t>(scaled));
}

bool samePixel(const std::uint8_t* a, const std::uint8_t* b, std::size_t size) { return std::memcmp(a, b, size) == 0; }

// One row as run-length packets. A run packet covers 2 to 128 equal pixels.
// A raw packet grows while the next pixel differs from its last one; the
// row's last pixel is never looked at by that test: when the packet reaches
// it, it simply joins (a lone pixel never gets a packet of its own).
void encodeRow(const std::uint8_t* row, std::size_t width, std::size_t size, std::vector<std::uint8_t>& out)
{
    std::size_t p = 0;
    while (p < width) {
        const std::uint8_t* first = row + size * p;
        std::size_t count = 1;
        while (count < 128 && p + count < width && samePixel(row + size * (p + count), first, size)) ++count;
        if (count >= 2) {
            out.push_back(static_cast<std::uint8_t>(0x80 | (count - 1)));
            out.insert(out.end(), first, first + size);
            p += count;
            continue;
        }
        std::size_t next = p + 1;
        while (next < width - 1 && count < 128 && !samePixel(row + size * next, row + size * (next - 1), size)) {
            ++next;
            ++count;
        }
        if (next == width - 1 && count < 128) ++count;
        out.push_back(static_cast<std::uint8_t>(count - 1));
        out.insert(out.end(), first, first + size * count);
        p += count;
    }
}

// Row y of the transparent picture as blue, green, red, alpha.
void bgraRow(const Picture& picture, int y, std::vector<std::uint8_t>& out)
{
    out.resize(static_cast<std::size_t>(picture.width) * 4);
    const std::uint32_t* from = picture.argb.data() + picture.at(0, y);
    for (std::size_t x = 0; x < static_cast<std::size_t>(picture.width); ++x) {
        const std::uint32_t c = from[x];
        out[4 * x] = static_cast<std::uint8_t>(c);
        out[4 * x + 1] = static_cast<std::uint8_t>(c >> 8);
        out[4 * x + 2] = static_cast<std::uint8_t>(c >> 16);
        out[4 * x + 3] = static_cast<std::uint8_t>(c >> 24);
    }
}

} // namespace

void writeTga(ImageBuffer& buffer, Sink& sink)
{
    beginWrite(buffer, sink);
    const IOParams& params = buffer.params();
    if (buffer.picture().width > 0xFFFF || buffer.picture().height > 0xFFFF) {
        throw Error("The picture is too large for a TGA file: " + sink.name());
    }
    // Palette and grey outputs are never asked for: every TGA file is 24-bit.
    std::optional<Picture> converted;
    if (buffer.picture().bits != 24) converted = to24Bit(buffer.picture());
    const Picture& picture = converted ? *converted : buffer.picture();
    const auto width = static_cast<std::size_t>(picture.width);
    const bool alpha = buffer.picture().keepsTransparency();
    const std::size_t pixelSize = alpha ? 4 : 3;

    const std::string name = params.tgaName.substr(0, 254);
    std::vector<std::uint8_t> header(18 + name.size() + 1, 0);
    header[0] = static_cast<std::uint8_t>(name.size() + 1);
    header[2] = params.tgaCompressed ? 10 : 2;
    put16(&header[8], static_cast<unsigned>(params.tgaLeft));
    put16(&header[10], static_cast<unsigned>(params.tgaTop));
    put16(&header[12], static_cast<unsigned>(picture.width));
    put16(&header[14], static_cast<unsigned>(picture.height));
    header[16] = alpha ? 32 : 24;
    header[17] = alpha ? 0x28 : 0x20; // top row first; 8 alpha bits a pixel
    std::memcpy(&header[18], name.data(), name.size());

    sink.write(header);

    std::vector<std::uint8_t> out;
    std::vector<std::uint8_t> rgba;
    out.reserve(width * pixelSize + width / 128 + 2);
    for (int y = 0; y < picture.height; ++y) {
        // A stopped writer ends the file after the rows written, without extension area or footer.
        if (buffer.progress && !buffer.progress(static_cast<int>(100LL * y / picture.height))) return;
        if (alpha) bgraRow(buffer.picture(), y, rgba);
        const std::uint8_t* row = alpha ? rgba.data() : picture.row(y);
        if (params.tgaCompressed) {
            out.clear();
            encodeRow(row, width, pixelSize, out);
            sink.write(out);
        } else {
            sink.write(row, width * pixelSize);
        }
    }

    std::array<std::uint8_t, kExtensionSize> area {};
    put16(&area[0], kExtensionSize);
    putText(&area[2], 41, params.tgaAuthor);
    const std::tm& date = params.tgaDate;
    put16(&area[367], static_cast<unsigned>(date.tm_mon + 1));
    put16(&area[369], static_cast<unsigned>(date.tm_mday));
    put16(&area[371], static_cast<unsigned>(date.tm_year + 1900));
    put16(&area[373], static_cast<unsigned>(date.tm_hour));
    put16(&area[375], static_cast<unsigned>(date.tm_min));
    put16(&area[377], static_cast<unsigned>(date.tm_sec));
    putText(&area[379], 41, params.tgaJob);
    area[471] = params.tgaKeyColor.r;
    area[472] = params.tgaKeyColor.g;
    area[473] = params.tgaKeyColor.b;
    put16(&area[474], tenThousandths(params.tgaAspect));
    put16(&area[476], 10000);
    put16(&area[478], tenThousandths(params.tgaGamma));
    put16(&area[480], 10000);
    if (alpha) area[494] = 3; // the attribute bits are straight alpha
    const auto areaOffset = static_cast<std::uint32_t>(sink.position());
    sink.write(area.data(), area.size());

    sink.le32(areaOffset);
    sink.le32(0);
    static constexpr char kSignature[18] = "TRUEVISION-XFILE.";
    sink.write(kSignature, sizeof kSignature);
}

} // namespace vextral::codecs
