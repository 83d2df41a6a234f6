// The image buffer's rotation: quarter turns, then three shears.
#include "codecs/ImageBuffer.h"

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

// The rest of a turn, 0 < |n| <= 45 degrees, by three shears: along the rows,
// along the columns, along the rows again.
Picture shearTurn(const Picture& p, int n, Bgr background)
{
    const long long w = p.width, h = p.height;
    const long double a = n * std::numbers::pi_v<long double> / 180;
    const long double t = std::fabs(std::sin(a / 2) / std::cos(a / 2));
    const long double s = std::fabs(std::sin(a));
    const bool ccw = n > 0;

    const long long w1 = nearest(h * t + w + 1);
    const long long d = nearest((w1 - w) * s);
    const long long h2 = nearest(s * w1 + h + 1);
    const long long hh = nearest(t * (h2 - h - d));
    const long long h3 = h2 - 2 * d;
    const long long w3 = nearest(t * h3 + w1 + 1 - 2 * hh);

    Picture first = filled(w1, h, background);
    for (int y = 0; y < p.height; ++y) shiftRow(p, first, y, nearest((ccw ? y : h - y) * t));

    Picture second = filled(w1, h3, background);
    for (int x = 0; x < first.width; ++x) {
        const long long shift = nearest((ccw ? w1 - x : x) * s) - d;
        for (int y = 0; y < first.height; ++y) {
            const long long to = y + shift;
            if (to >= 0 && to < h3) second.setPixel(x, static_cast<int>(to), first.pixel(x, y));
        }
    }

    Picture third = filled(w3, h3, background);
    for (int y = 0; y < second.height; ++y) shiftRow(second, third, y, nearest((ccw ? y : h3 - y) * t) - hh);
    return third;
}

} // namespace

void ImageBuffer::rotate(int angle)
{
    if (picture_.empty()) return;
    Picture p = to24Bit(picture_);
    int n = angle % 360;
    while (n > 45) {
        p = quarterTurn(p, true);
        n -= 90;
    }
    while (n < -45) {
        p = quarterTurn(p, false);
        n += 90;
    }
    if (n != 0) p = shearTurn(p, n, backgroundBgr());
    picture_ = std::move(p);
}

} // namespace vextral::codecs
