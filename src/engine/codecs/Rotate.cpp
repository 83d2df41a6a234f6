// The image buffer's rotation: quarter turns, then three shears.
#include "codecs/ImageBuffer.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

namespace vextral::codecs {

namespace {

// To the nearest integer, halves to the even neighbour (the default
// floating-point rounding mode).
long long nearest(long double v) { return std::llrintl(v); }

Picture filled(long long width, long long height, Bgr colour)
{
    checkPictureSize(width, height);
    Picture p = Picture::make(static_cast<int>(width), static_cast<int>(height), 24);
    for (int y = 0; y < p.height; ++y) {
        std::uint8_t* row = p.row(y);
        for (int x = 0; x < p.width; ++x) {
            row[3 * x] = colour.b;
            row[3 * x + 1] = colour.g;
            row[3 * x + 2] = colour.r;
        }
    }
    return p;
}

// A quarter turn. Counter-clockwise the old top row becomes the new left
// column read from bottom to top; clockwise the old left column becomes the
// new top row read from right to left.
Picture quarterTurn(const Picture& p, bool counterClockwise)
{
    Picture out = Picture::make(p.height, p.width, 24);
    for (int y = 0; y < p.height; ++y) {
        for (int x = 0; x < p.width; ++x) {
            if (counterClockwise)
                out.setPixel(y, p.width - 1 - x, p.pixel(x, y));
            else
                out.setPixel(p.height - 1 - y, x, p.pixel(x, y));
        }
    }
    return out;
}

// Copies row y of from into row y of to, moved right by shift columns;
// pixels that land outside are dropped.
void shiftRow(const Picture& from, Picture& to, int y, long long shift)
{
    long long first = 0;         // first source column kept
    long long last = from.width; // one past the last
    if (shift < 0) first = -shift;
    if (shift + last > to.width) last = to.width - shift;
    if (first >= last) return;
    std::memcpy(to.row(y) + 3 * (first + shift), from.row(y) + 3 * first, static_cast<std::size_t>(3 * (last - first)));
}

// The sizes of a turn's three shears, 0 < |n| <= 45 degrees, of a w x h
// picture: along the rows into w1 x h, along the columns into w1 x h3, along
// the rows again into w3 x h3.
struct Shears {
    long double t, s; // |tan(a / 2)|, |sin a|
    long long w1, d, h3, hh, w3;
};
Shears shearsFor(long long w, long long h, int n)
{
    Shears g {};
    const long double a = n * std::numbers::pi_v<long double> / 180;
    g.t = std::fabs(std::sin(a / 2) / std::cos(a / 2));
    g.s = std::fabs(std::sin(a));
    g.w1 = nearest(h * g.t + w + 1);
    g.d = nearest((g.w1 - w) * g.s);
    const long long h2 = nearest(g.s * g.w1 + h + 1);
    g.hh = nearest(g.t * (h2 - h - g.d));
    g.h3 = h2 - 2 * g.d;
    g.w3 = nearest(g.t * g.h3 + g.w1 + 1 - 2 * g.hh);
    return g;
}

Picture shearTurn(const Picture& p, int n, const Shears& g, Bgr background)
{
    const long long h = p.height;
    const bool ccw = n > 0;

    Picture first = filled(g.w1, h, background);
    for (int y = 0; y < p.height; ++y) shiftRow(p, first, y, nearest((ccw ? y : h - y) * g.t));

    Picture second = filled(g.w1, g.h3, background);
    for (int x = 0; x < first.width; ++x) {
        const long long shift = nearest((ccw ? g.w1 - x : x) * g.s) - g.d;
        for (int y = 0; y < first.height; ++y) {
            const long long to = y + shift;
            if (to >= 0 && to < g.h3) second.setPixel(x, static_cast<int>(to), first.pixel(x, y));
        }
    }

    Picture third = filled(g.w3, g.h3, background);
    for (int y = 0; y < second.height; ++y) shiftRow(second, third, y, nearest((ccw ? y : g.h3 - y) * g.t) - g.hh);
    return third;
}

} // namespace

void ImageBuffer::rotate(int angle)
{
    if (picture_.empty()) return;
    int n = angle % 360;
    int quarters = 0; // counter-clockwise
    while (n > 45) {
        ++quarters;
        n -= 90;
    }
    while (n < -45) {
        --quarters;
        n += 90;
    }
    // Every size is checked before anything changes, so a turn too large
    // leaves the picture as it was.
    const bool across = quarters % 2 != 0;
    const int w = across ? picture_.height : picture_.width;
    const int h = across ? picture_.width : picture_.height;
    Shears g {};
    if (n != 0) {
        g = shearsFor(w, h, n);
        checkPictureSize(g.w1, std::max<long long>(h, g.h3));
        checkPictureSize(g.w3, g.h3);
    }

    Picture p = picture_.bits == 1 ? to24Bit(picture_) : std::move(picture_);
    p.argb.clear();
    // Whole turns do nothing; three quarters one way are one the other way.
    quarters = (quarters % 4 + 4) % 4;
    if (quarters == 3) {
        p = quarterTurn(p, false);
    } else {
        for (; quarters > 0; --quarters) p = quarterTurn(p, true);
    }
    if (n != 0) p = shearTurn(p, n, g, backgroundBgr());
    picture_ = std::move(p);
}

} // namespace vextral::codecs
