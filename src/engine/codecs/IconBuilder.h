#pragma once

#include "codecs/AreaScaler.h"
#include "codecs/IconPicture.h"
#include "core/Icon.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <optional>
#include <vector>

namespace vextral::codecs {

// Collects the rows of a picture and turns them into a 32 x 32 icon. Three ways
// of reading a picture, matching the three ways it can be drawn:
//  - Alpha: premultiplied colour and alpha are averaged, so edges blend smoothly;
//  - Masked: the opaque and the screen (AND-masked) pixels are averaged apart;
//    a destination pixel stays opaque when at least half its area is, and its
//    screen colour keeps the XOR colour, so inverted pixels stay inverted;
//  - Opaque: colour only.
class IconBuilder {
public:
    enum class Mode { Alpha, Masked, Opaque };

    // Pictures larger than this in either direction are read on an evenly
    // spread grid of this many rows and columns (still 8 x 8 samples per
    // icon pixel), so a huge bitmap costs no more than a 256 x 256 one.
    static constexpr int kMaxSamples = 256;

    IconBuilder(int width, int height, Mode mode)
        : mode_(mode), columns_(sampleGrid(width)), rowSample_(static_cast<std::size_t>(height), -1),
          scaler_(static_cast<int>(columns_.size()), std::min(height, kMaxSamples), Icon::kSize, Icon::kSize,
                  channels(mode)),
          row_(columns_.size() * static_cast<std::size_t>(channels(mode)))
    {
        const std::vector<int> rows = sampleGrid(height);
        for (std::size_t k = 0; k < rows.size(); ++k)
            rowSample_[static_cast<std::size_t>(rows[k])] = static_cast<int>(k);
    }

    // Whether row y (0 = top) is read at all; callers may skip the others.
    bool wantsRow(int y) const
    {
        return y >= 0 && y < static_cast<int>(rowSample_.size()) && rowSample_[static_cast<std::size_t>(y)] >= 0;
    }

    // Adds row y (0 = top): colours 0xAARRGGBB and, in masked mode, the AND bits.
    void addRow(int y, const std::uint32_t* colours, const std::uint8_t* maskBits)
    {
        if (!wantsRow(y)) return;
        const int ch = channels(mode_);
        for (std::size_t k = 0; k < columns_.size(); ++k) {
            const int x = columns_[k];
            const std::uint32_t c = colours[x];
            double* o = &row_[k * static_cast<std::size_t>(ch)];
            switch (mode_) {
            case Mode::Alpha: splitAlphaPixel(c, o); break;
            case Mode::Masked: splitMaskedPixel(c, maskBits && maskBits[x], o); break;
            case Mode::Opaque:
                o[0] = pixelChannel(c, 16);
                o[1] = pixelChannel(c, 8);
                o[2] = pixelChannel(c, 0);
                break;
            }
        }
        scaler_.addRow(rowSample_[static_cast<std::size_t>(y)], row_.data());
    }

    Icon finish() const
    {
        Icon icon;
        icon.hasAlpha = mode_ == Mode::Alpha;
        const std::vector<double>& px = scaler_.result();
        const int ch = channels(mode_);
        for (int i = 0; i < Icon::kPixels; ++i) {
            const double* v = &px[static_cast<std::size_t>(i) * static_cast<std::size_t>(ch)];
            std::uint32_t colour = 0;
            std::uint8_t mask = 0;
            if (mode_ == Mode::Alpha) {
                const std::uint32_t a = roundChannel(v[3]);
                if (a == 0) {
                    mask = 1;
                } else {
                    colour = (a << 24) | (roundChannel(v[0] / v[3]) << 16) | (roundChannel(v[1] / v[3]) << 8) |
                             roundChannel(v[2] / v[3]);
                }
            } else if (mode_ == Mode::Masked) {
                const double opaque = v[3];
                if (opaque >= 0.5) {
                    colour = (roundChannel(v[0] / opaque) << 16) | (roundChannel(v[1] / opaque) << 8) |
                             roundChannel(v[2] / opaque);
                } else {
                    mask = 1;
                    const double screen = 1 - opaque;
                    colour = (roundChannel(v[4] / screen) << 16) | (roundChannel(v[5] / screen) << 8) |
                             roundChannel(v[6] / screen);
                }
            } else {
                colour = (roundChannel(v[0]) << 16) | (roundChannel(v[1]) << 8) | roundChannel(v[2]);
            }
            icon.colour[static_cast<std::size_t>(i)] = colour;
            icon.mask[static_cast<std::size_t>(i)] = mask;
        }
        return icon;
    }

private:
    static int channels(Mode mode) { return mode == Mode::Alpha ? 4 : mode == Mode::Masked ? 7 : 3; }

    // Every index when n is small enough, else kMaxSamples indexes at the
    // centres of equal bands.
    static std::vector<int> sampleGrid(int n)
    {
        std::vector<int> grid;
        const int count = std::min(n, kMaxSamples);
        grid.reserve(static_cast<std::size_t>(count));
        for (int k = 0; k < count; ++k) {
            grid.push_back(n <= kMaxSamples ? k : static_cast<int>((2LL * k + 1) * n / (2LL * count)));
        }
        return grid;
    }

    static std::uint32_t roundChannel(double v)
    {
        return static_cast<std::uint32_t>(std::lround(std::clamp(v, 0.0, 255.0)));
    }

    Mode mode_;
    std::vector<int> columns_;
    std::vector<int> rowSample_;
    AreaScaler scaler_;
    std::vector<double> row_;
};

// The same rows kept at the picture's own size, as the same three modes read
// them: alpha pixels as they are (fully transparent ones masked), masked
// pixels with their AND bits, opaque ones as colour.
class PictureBuilder {
public:
    PictureBuilder(int width, int height, IconBuilder::Mode mode)
        : mode_(mode), picture_(IconPicture::make(width, height, mode == IconBuilder::Mode::Alpha))
    {}

    bool wantsRow(int y) const { return y >= 0 && y < picture_.height; }

    void addRow(int y, const std::uint32_t* colours, const std::uint8_t* maskBits)
    {
        if (!wantsRow(y)) return;
        for (int x = 0; x < picture_.width; ++x) {
            const std::size_t i = picture_.at(x, y);
            const std::uint32_t c = colours[x];
            switch (mode_) {
            case IconBuilder::Mode::Alpha:
                picture_.colour[i] = (c >> 24) ? c : 0;
                picture_.mask[i] = (c >> 24) ? 0 : 1;
                break;
            case IconBuilder::Mode::Masked:
                picture_.colour[i] = c & 0xFFFFFFu;
                picture_.mask[i] = maskBits && maskBits[x] ? 1 : 0;
                break;
            case IconBuilder::Mode::Opaque: picture_.colour[i] = c & 0xFFFFFFu; break;
            }
        }
    }

    IconPicture finish() const { return picture_; }

private:
    IconBuilder::Mode mode_;
    IconPicture picture_;
};

} // namespace vextral::codecs
