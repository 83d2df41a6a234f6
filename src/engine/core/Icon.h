#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace vextral {

// One icon pixel (colour 0xAARRGGBB, AND bit) drawn over a background pixel
// (0xRRGGBB): alpha blended when the picture has alpha, else (background AND
// mask) XOR colour. Returns 0xRRGGBB.
std::uint32_t drawIconPixel(std::uint32_t colour, bool mask, bool hasAlpha, std::uint32_t background);

// The same pixel kept transparent, as straight 0xAARRGGBB for a file or a
// program that knows alpha: an alpha pixel as it is; otherwise an unmasked
// pixel opaque, a masked black one clear. A masked pixel of another colour
// inverts what lies under it, which alpha cannot say; it becomes the colour
// it shows over the background (0xRRGGBB), opaque, so the outline or caret it
// draws stays visible, as it looks in the icon list.
std::uint32_t transparentIconPixel(std::uint32_t colour, bool mask, bool hasAlpha, std::uint32_t background);

// One harvested icon at the large-icon size, as the desktop shows it.
//
// The picture is kept the way a Windows icon is made: a colour (XOR) image and a
// one-bit AND mask. Icons that come from 32-bit images with a real alpha channel
// carry that alpha in the colour image and are alpha blended; all others are drawn
// as (background AND mask) XOR colour, which keeps "inverted" pixels inverted.
struct Icon {
    static constexpr int kSize = 32;
    static constexpr int kPixels = kSize * kSize;

    // Row-major, top row first. 0xAARRGGBB; the alpha byte only counts when hasAlpha.
    std::array<std::uint32_t, kPixels> colour {};
    // 1 where the AND mask bit is set (background shows through, or is inverted).
    std::array<std::uint8_t, kPixels> mask {};
    bool hasAlpha = false;

    std::uint32_t pixel(int x, int y) const
    {
        return colour[static_cast<std::size_t>(y) * kSize + static_cast<std::size_t>(x)];
    }
    bool maskBit(int x, int y) const
    {
        return mask[static_cast<std::size_t>(y) * kSize + static_cast<std::size_t>(x)] != 0;
    }

    // The pixel at (x, y) drawn over a background pixel (0xRRGGBB); returns 0xRRGGBB.
    std::uint32_t drawnOver(int x, int y, std::uint32_t background) const;
    // The whole icon drawn over a solid background colour (0xRRGGBB), row-major.
    std::vector<std::uint32_t> drawOver(std::uint32_t background) const;
    // The whole icon kept transparent (transparentIconPixel), row-major.
    std::vector<std::uint32_t> transparent(std::uint32_t background) const;

    bool operator==(const Icon&) const = default;
};

} // namespace vextral
