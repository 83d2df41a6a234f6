#pragma once

#include "core/Icon.h"

#include <cstdint>
#include <vector>

namespace vextral::codecs {

// An icon picture of any size, kept the way an icon image is made: colours
// and an AND mask, or colours with a real alpha channel (see Icon).
struct IconPicture {
    int width = 0;
    int height = 0;
    // Row-major, top row first. 0xAARRGGBB; the alpha byte only counts when hasAlpha.
    std::vector<std::uint32_t> colour;
    // 1 where the AND mask bit is set (background shows through, or is inverted).
    std::vector<std::uint8_t> mask;
    bool hasAlpha = false;

    // An opaque black picture, or an empty one for a side of 0 or less.
    static IconPicture make(int width, int height, bool hasAlpha);

    std::size_t at(int x, int y) const
    {
        return static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x);
    }
    // The pixel at (x, y) drawn over a background pixel (0xRRGGBB); returns 0xRRGGBB.
    std::uint32_t drawnOver(int x, int y, std::uint32_t background) const
    {
        return drawIconPixel(colour[at(x, y)], mask[at(x, y)] != 0, hasAlpha, background);
    }
    // Straight (not premultiplied) 0xAARRGGBB pixels for a viewer that knows
    // only alpha (transparentIconPixel): alpha pictures as they are, masked
    // pixels clear, all others opaque; an inverted pixel shows the colour it
    // takes over the background (0xRRGGBB), opaque.
    std::vector<std::uint32_t> argb(std::uint32_t background = 0xFFFFFFu) const;

    bool operator==(const IconPicture&) const = default;
};

// The 32 x 32 icon as a picture.
IconPicture pictureOfIcon(const Icon& icon);

// The picture at width x height (both at least 1): shrunk by the area filter
// (AreaScaler), enlarged by bilinear interpolation, each direction on its own;
// the same size gives the picture unchanged. Alpha pictures are scaled with
// premultiplied alpha; masked ones scale their opaque and their screen pixels
// apart, a pixel staying opaque where at least half its area is.
IconPicture scaleIconPicture(const IconPicture& picture, int width, int height);

} // namespace vextral::codecs
