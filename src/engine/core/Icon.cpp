#include "core/Icon.h"

namespace vextral {

namespace {

std::uint32_t blendChannel(std::uint32_t src, std::uint32_t dst, std::uint32_t alpha)
{
    return (src * alpha + dst * (255 - alpha) + 127) / 255;
}

} // namespace

std::uint32_t drawIconPixel(std::uint32_t c, bool mask, bool hasAlpha, std::uint32_t background)
{
    background &= 0xFFFFFFu;
    if (hasAlpha) {
        const std::uint32_t a = c >> 24;
        std::uint32_t out = 0;
        for (int shift = 0; shift <= 16; shift += 8) {
            out |= blendChannel((c >> shift) & 0xFF, (background >> shift) & 0xFF, a) << shift;
        }
        return out;
    }
    const std::uint32_t andPart = mask ? background : 0u;
    return (andPart ^ c) & 0xFFFFFFu;
}

std::uint32_t transparentIconPixel(std::uint32_t c, bool mask, bool hasAlpha, std::uint32_t background)
{
    if (hasAlpha) return c;
    if (!mask) return c | 0xFF000000u;
    if ((c & 0xFFFFFFu) == 0) return 0;
    return drawIconPixel(c, mask, false, background) | 0xFF000000u;
}

std::vector<std::uint32_t> Icon::transparent(std::uint32_t background) const
{
    std::vector<std::uint32_t> out(kPixels);
    for (std::size_t i = 0; i < out.size(); ++i)
        out[i] = transparentIconPixel(colour[i], mask[i] != 0, hasAlpha, background);
    return out;
}

std::uint32_t Icon::drawnOver(int x, int y, std::uint32_t background) const
{
    return drawIconPixel(pixel(x, y), maskBit(x, y), hasAlpha, background);
}

std::vector<std::uint32_t> Icon::drawOver(std::uint32_t background) const
{
    std::vector<std::uint32_t> out(kPixels);
    for (int y = 0; y < kSize; ++y) {
        for (int x = 0; x < kSize; ++x) {
            out[static_cast<std::size_t>(y) * kSize + static_cast<std::size_t>(x)] = drawnOver(x, y, background);
        }
    }
    return out;
}

} // namespace vextral
