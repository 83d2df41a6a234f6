#pragma once

#include "core/ReaderLimits.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vextral::codecs {

// A colour as pictures and colour tables hold it: blue, green, red.
struct Bgr {
    std::uint8_t b = 0, g = 0, r = 0;
    bool operator==(const Bgr&) const = default;
    static Bgr fromRgb(std::uint32_t rgb)
    {
        return {static_cast<std::uint8_t>(rgb), static_cast<std::uint8_t>(rgb >> 8),
                static_cast<std::uint8_t>(rgb >> 16)};
    }
    std::uint32_t rgb() const { return static_cast<std::uint32_t>(r) << 16 | static_cast<std::uint32_t>(g) << 8 | b; }
};

// The longest side of any picture Vextral makes. A true-colour picture of
// 16384 x 16384 already takes 768 MiB; sizes typed by a user are checked
// against this before anything is allocated or any file created. The readers
// have the same bound by default (ReaderLimits::pictureSide).
constexpr int kMaxPictureSide = 16384;
static_assert(ReaderLimits {}.pictureSide == kMaxPictureSide);
// Raises "The picture size W x H is too large: each side can be at most
// 16384 pixels" (maxSide there) when a side is above maxSide.
void checkPictureSize(long long width, long long height, int maxSide = kMaxPictureSide);
// The same text, or empty when both sides are within maxSide.
std::string pictureSizeError(long long width, long long height, int maxSide = kMaxPictureSide);

// A picture in one of two layouts, rows top to bottom without padding:
//   24 bits a pixel: blue, green, red;
//   1 bit a pixel: bit 7 of a byte is the leftmost pixel; 0 is black, 1 white.
struct Picture {
    int width = 0;
    int height = 0;
    int bits = 24;
    std::vector<std::uint8_t> pixels;
    // The picture with its transparency, when it has one worth keeping: width
    // x height straight (not premultiplied) 0xAARRGGBB pixels, row-major, top
    // row first. pixels stay the picture as drawn over the background, which
    // is what every format without alpha writes; the formats that hold alpha
    // (PNG, TGA, TIFF, ICO, CUR) write these instead. Empty for an opaque
    // picture; anything that changes pixels without keeping these in step
    // clears them (see keepsTransparency()).
    std::vector<std::uint32_t> argb;

    // A black (all-zero) picture; a side of 0 or less makes it empty, and a
    // side above kMaxPictureSide raises the size error.
    static Picture make(int width, int height, int bits = 24);
    bool empty() const { return width <= 0 || height <= 0; }
    // Whether argb holds the transparent picture for these sides.
    bool keepsTransparency() const
    {
        return !empty() && argb.size() == static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    }
    std::size_t at(int x, int y) const
    {
        return static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x);
    }
    std::size_t stride() const
    {
        return bits == 1 ? (static_cast<std::size_t>(width) + 7) / 8 : static_cast<std::size_t>(width) * 3;
    }
    std::uint8_t* row(int y) { return pixels.data() + stride() * static_cast<std::size_t>(y); }
    const std::uint8_t* row(int y) const { return pixels.data() + stride() * static_cast<std::size_t>(y); }

    Bgr pixel(int x, int y) const;      // either layout
    void setPixel(int x, int y, Bgr c); // 24-bit pictures
    bool bit(int x, int y) const { return (row(y)[x >> 3] >> (7 - (x & 7))) & 1; }
    void setBit(int x, int y, bool on);
};

} // namespace vextral::codecs
