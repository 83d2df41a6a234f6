#include "codecs/Picture.h"

#include "core/Error.h"

namespace vextral::codecs {

std::string pictureSizeError(long long width, long long height, int maxSide)
{
    if (width <= maxSide && height <= maxSide) return {};
    return "The picture size " + std::to_string(width) + " x " + std::to_string(height) +
           " is too large: each side can be at most " + std::to_string(maxSide) + " pixels";
}

void checkPictureSize(long long width, long long height, int maxSide)
{
    if (std::string error = pictureSizeError(width, height, maxSide); !error.empty()) throw Error(error);
}

Picture Picture::make(int width, int height, int bits)
{
    checkPictureSize(width, height);
    Picture p;
    p.width = width > 0 ? width : 0;
    p.height = height > 0 ? height : 0;
    p.bits = bits == 1 ? 1 : 24;
    p.pixels.assign(p.stride() * static_cast<std::size_t>(p.height), 0);
    return p;
}

Bgr Picture::pixel(int x, int y) const
{
    if (bits == 1) return bit(x, y) ? Bgr {255, 255, 255} : Bgr {0, 0, 0};
    const std::uint8_t* p = row(y) + 3 * static_cast<std::size_t>(x);
    return {p[0], p[1], p[2]};
}

void Picture::setPixel(int x, int y, Bgr c)
{
    std::uint8_t* p = row(y) + 3 * static_cast<std::size_t>(x);
    p[0] = c.b;
    p[1] = c.g;
    p[2] = c.r;
}

void Picture::setBit(int x, int y, bool on)
{
    std::uint8_t& byte = row(y)[x >> 3];
    const auto mask = static_cast<std::uint8_t>(0x80 >> (x & 7));
    byte = on ? static_cast<std::uint8_t>(byte | mask) : static_cast<std::uint8_t>(byte & ~mask);
}

} // namespace vextral::codecs
