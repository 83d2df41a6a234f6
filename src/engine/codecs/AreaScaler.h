#pragma once

#include <cstdint>
#include <vector>

namespace vextral::codecs {

// An 0xAARRGGBB pixel as the values the area filter averages. An alpha
// pixel gives its premultiplied colour and its alpha (4 values); a masked
// pixel its opaque colour, that part's weight and its screen colour (7
// values), so that opaque and inverted parts scale apart.
inline double pixelChannel(std::uint32_t px, int shift) { return static_cast<double>((px >> shift) & 0xFF); }
inline void splitAlphaPixel(std::uint32_t c, double* o)
{
    const double a = pixelChannel(c, 24);
    o[0] = pixelChannel(c, 16) * a;
    o[1] = pixelChannel(c, 8) * a;
    o[2] = pixelChannel(c, 0) * a;
    o[3] = a;
}
inline void splitMaskedPixel(std::uint32_t c, bool screen, double* o)
{
    const double m = screen ? 1.0 : 0.0;
    o[0] = pixelChannel(c, 16) * (1 - m);
    o[1] = pixelChannel(c, 8) * (1 - m);
    o[2] = pixelChannel(c, 0) * (1 - m);
    o[3] = 1 - m;
    o[4] = pixelChannel(c, 16) * m;
    o[5] = pixelChannel(c, 8) * m;
    o[6] = pixelChannel(c, 0) * m;
}

// Box ("area") filter from a source grid of any size to a destination grid:
// every destination pixel becomes the average of the source area it covers,
// weighted by the exact overlap. Shrinking 256 to 32 averages 8 x 8 blocks;
// enlarging 16 to 32 repeats pixels; odd ratios blend the pixels on a seam.
//
// Rows may be added in any order, one at a time, so a picture never has to be
// held whole: a reader can hand over each row as it decodes it.
class AreaScaler {
public:
    AreaScaler(int srcWidth, int srcHeight, int dstWidth, int dstHeight, int channels);

    // Adds source row y (0 = top); row holds srcWidth * channels values.
    void addRow(int y, const double* row);
    // Per destination pixel (row-major), the channel averages (the scaler's
    // own, valid while it lives).
    const std::vector<double>& result() const { return acc_; }

private:
    struct Contribution {
        int dst;
        double weight;
    };
    static void buildAxis(int src, int dst, std::vector<int>& start, std::vector<Contribution>& table);

    int srcW_, srcH_, dstW_, dstH_, channels_;
    std::vector<int> hStart_, vStart_;
    std::vector<Contribution> hTable_, vTable_;
    std::vector<double> rowSum_;
    std::vector<double> acc_;
};

} // namespace vextral::codecs
