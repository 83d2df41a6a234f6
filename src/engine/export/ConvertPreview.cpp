#include "export/ConvertPreview.h"

#include "codecs/ImageBuffer.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace vextral::exporting {

namespace {

// numerator / denominator rounded to the nearest integer, halves to the even
// neighbour; numerator >= 0, denominator > 0.
long long roundedQuotient(long long numerator, long long denominator)
{
    long long q = numerator / denominator;
    const long long twiceRest = 2 * (numerator % denominator);
    if (twiceRest > denominator || (twiceRest == denominator && q % 2 != 0)) ++q;
    return q;
}

int scaledSide(int side, int to, int from)
{
    return static_cast<int>(std::max(1LL, roundedQuotient(static_cast<long long>(side) * to, from)));
}

// A source pixel under a target pixel's box and how much of it the box covers.
struct Tap {
    int source;
    long long cover;
};

// The taps of every target pixel along one axis of from pixels scaled to to.
// Measured in units of 1 / (from x to) of the source's length, source pixel s
// spans [s x to, (s + 1) x to) and target pixel t spans [t x from, (t + 1) x
// from), so every edge is a whole number and each target's covers add up to
// exactly from: the weighted mean is (sum of cover x value) / from.
std::vector<std::vector<Tap>> boxTaps(int from, int to)
{
    std::vector<std::vector<Tap>> taps(static_cast<std::size_t>(to));
    for (int t = 0; t < to; ++t) {
        const long long lo = static_cast<long long>(t) * from;
        const long long hi = lo + from;
        for (long long s = lo / to; s < from && s * to < hi; ++s) {
            const long long cover = std::min(hi, (s + 1) * to) - std::max(lo, s * to);
            if (cover > 0) taps[static_cast<std::size_t>(t)].push_back({static_cast<int>(s), cover});
        }
    }
    return taps;
}

// One pass of the rescale: the 24-bit picture to a new width (along its rows)
// or a new height (down its columns), the other side kept.
codecs::Picture rescalePass(const codecs::Picture& source, int width, int height)
{
    const bool alongRows = width != source.width;
    const int from = alongRows ? source.width : source.height;
    const auto taps = boxTaps(from, alongRows ? width : height);
    codecs::Picture out = codecs::Picture::make(width, height);
    for (int y = 0; y < height; ++y) {
        std::uint8_t* target = out.row(y);
        for (int x = 0; x < width; ++x) {
            for (int c = 0; c < 3; ++c) {
                long long sum = 0;
                for (const Tap& tap : taps[static_cast<std::size_t>(alongRows ? x : y)]) {
                    const std::uint8_t* p = alongRows ? source.row(y) + static_cast<std::size_t>(tap.source) * 3
                                                      : source.row(tap.source) + static_cast<std::size_t>(x) * 3;
                    sum += tap.cover * p[c];
                }
                target[static_cast<std::size_t>(x) * 3 + static_cast<std::size_t>(c)] =
                    static_cast<std::uint8_t>(roundedQuotient(sum, from));
            }
        }
    }
    return out;
}

} // namespace

PreviewSize previewSize(int width, int height)
{
    if (width <= 0 || height <= 0) return {};
    if (height > kPreviewBox) return {scaledSide(width, kPreviewBox, height), kPreviewBox};
    if (width > kPreviewBox) return {kPreviewBox, scaledSide(height, kPreviewBox, width)};
    return {width, height};
}

codecs::Picture boxRescale(const codecs::Picture& picture, int width, int height)
{
    if (width <= 0 || height <= 0 || picture.empty()) return {};
    codecs::Picture source = picture.bits == 24 ? picture : codecs::to24Bit(picture);
    if (width != source.width) source = rescalePass(source, width, source.height);
    if (height != source.height) source = rescalePass(source, width, height);
    return source;
}

codecs::Picture makePreview(const codecs::Picture& picture)
{
    const PreviewSize size = previewSize(picture.width, picture.height);
    return boxRescale(picture, size.width, size.height);
}

} // namespace vextral::exporting
