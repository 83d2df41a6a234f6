#include "codecs/IconPicture.h"

#include "codecs/AreaScaler.h"

#include <algorithm>
#include <cmath>

namespace vextral::codecs {

IconPicture IconPicture::make(int width, int height, bool hasAlpha)
{
    IconPicture p;
    if (width <= 0 || height <= 0) return p;
    p.width = width;
    p.height = height;
    p.hasAlpha = hasAlpha;
    const std::size_t n = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    p.colour.assign(n, hasAlpha ? 0xFF000000u : 0u);
    p.mask.assign(n, 0);
    return p;
}

std::vector<std::uint32_t> IconPicture::argb(std::uint32_t background) const
{
    std::vector<std::uint32_t> out(colour.size());
    for (std::size_t i = 0; i < colour.size(); ++i)
        out[i] = transparentIconPixel(colour[i], mask[i] != 0, hasAlpha, background);
    return out;
}

IconPicture pictureOfIcon(const Icon& icon)
{
    IconPicture p;
    p.width = p.height = Icon::kSize;
    p.hasAlpha = icon.hasAlpha;
    p.colour.assign(icon.colour.begin(), icon.colour.end());
    p.mask.assign(icon.mask.begin(), icon.mask.end());
    return p;
}

namespace {

// A pixel as the values that may be averaged: premultiplied colour and alpha
// for alpha pictures; the opaque colour, its weight and the screen colour for
// masked ones.
class PixelChannels {
public:
    explicit PixelChannels(bool alpha) : alpha_(alpha) {}
    int count() const { return alpha_ ? 4 : 7; }

    void split(std::uint32_t c, std::uint8_t maskBit, double* o) const
    {
        if (alpha_) {
            splitAlphaPixel(c, o);
        } else {
            splitMaskedPixel(c, maskBit != 0, o);
        }
    }

    void join(const double* v, std::uint32_t& colour, std::uint8_t& mask) const
    {
        colour = 0;
        mask = 0;
        if (alpha_) {
            const std::uint32_t a = round(v[3]);
            if (a == 0) {
                mask = 1;
            } else {
                colour = (a << 24) | rgb(v[0] / v[3], v[1] / v[3], v[2] / v[3]);
            }
            return;
        }
        const double opaque = v[3];
        if (opaque >= 0.5) {
            colour = rgb(v[0] / opaque, v[1] / opaque, v[2] / opaque);
        } else {
            mask = 1;
            const double screen = 1 - opaque;
            colour = rgb(v[4] / screen, v[5] / screen, v[6] / screen);
        }
    }

private:
    static std::uint32_t round(double v) { return static_cast<std::uint32_t>(std::lround(std::clamp(v, 0.0, 255.0))); }
    static std::uint32_t rgb(double r, double g, double b) { return (round(r) << 16) | (round(g) << 8) | round(b); }

    bool alpha_;
};

// For each destination index, the two source indexes and the weight of the
// second: pixel centres mapped onto the source, clamped at its edges.
struct LinearTap {
    int first = 0, second = 0;
    double t = 0;
};

std::vector<LinearTap> linearTaps(int src, int dst)
{
    std::vector<LinearTap> taps(static_cast<std::size_t>(dst));
    for (int d = 0; d < dst; ++d) {
        const double s = std::clamp((d + 0.5) * src / dst - 0.5, 0.0, static_cast<double>(src - 1));
        LinearTap& tap = taps[static_cast<std::size_t>(d)];
        tap.first = static_cast<int>(std::floor(s));
        tap.second = std::min(tap.first + 1, src - 1);
        tap.t = s - tap.first;
    }
    return taps;
}

} // namespace

IconPicture scaleIconPicture(const IconPicture& picture, int width, int height)
{
    if (picture.width == width && picture.height == height) return picture;
    IconPicture out = IconPicture::make(width, height, picture.hasAlpha);
    if (out.colour.empty() || picture.colour.empty()) return out;
    const PixelChannels channels(picture.hasAlpha);
    const auto ch = static_cast<std::size_t>(channels.count());

    // Shrink first where the picture is larger, by area ...
    const int midW = std::min(picture.width, width), midH = std::min(picture.height, height);
    AreaScaler area(picture.width, picture.height, midW, midH, channels.count());
    std::vector<double> row(static_cast<std::size_t>(picture.width) * ch);
    for (int y = 0; y < picture.height; ++y) {
        for (int x = 0; x < picture.width; ++x) {
            channels.split(picture.colour[picture.at(x, y)], picture.mask[picture.at(x, y)],
                           &row[static_cast<std::size_t>(x) * ch]);
        }
        area.addRow(y, row.data());
    }
    const std::vector<double>& mid = area.result();

    // ... then enlarge what is smaller, row by row; taps of a direction that
    // was not enlarged land on whole pixels.
    const std::vector<LinearTap> xs = linearTaps(midW, width), ys = linearTaps(midH, height);
    std::vector<double> value(ch);
    for (int y = 0; y < height; ++y) {
        const LinearTap& ty = ys[static_cast<std::size_t>(y)];
        const double* r0 = &mid[static_cast<std::size_t>(ty.first) * static_cast<std::size_t>(midW) * ch];
        const double* r1 = &mid[static_cast<std::size_t>(ty.second) * static_cast<std::size_t>(midW) * ch];
        for (int x = 0; x < width; ++x) {
            const LinearTap& tx = xs[static_cast<std::size_t>(x)];
            const std::size_t a = static_cast<std::size_t>(tx.first) * ch, b = static_cast<std::size_t>(tx.second) * ch;
            for (std::size_t c = 0; c < ch; ++c) {
                const double top = r0[a + c] + (r0[b + c] - r0[a + c]) * tx.t;
                const double bottom = r1[a + c] + (r1[b + c] - r1[a + c]) * tx.t;
                value[c] = top + (bottom - top) * ty.t;
            }
            channels.join(value.data(), out.colour[out.at(x, y)], out.mask[out.at(x, y)]);
        }
    }
    return out;
}

} // namespace vextral::codecs
