#include "codecs/AreaScaler.h"

#include <algorithm>

namespace vextral::codecs {

AreaScaler::AreaScaler(int srcWidth, int srcHeight, int dstWidth, int dstHeight, int channels)
    : srcW_(srcWidth), srcH_(srcHeight), dstW_(dstWidth), dstH_(dstHeight), channels_(channels),
      rowSum_(static_cast<std::size_t>(dstWidth * channels)),
      acc_(static_cast<std::size_t>(dstWidth) * static_cast<std::size_t>(dstHeight) *
           static_cast<std::size_t>(channels))
{
    buildAxis(srcW_, dstW_, hStart_, hTable_);
    buildAxis(srcH_, dstH_, vStart_, vTable_);
}

// Works in units scaled by src * dst so that every edge is an integer: source
// pixel s covers [s * dst, (s + 1) * dst), destination pixel d covers
// [d * src, (d + 1) * src). The weight of (s, d) is their overlap divided by
// the destination pixel's length, so each destination pixel's weights add to 1.
void AreaScaler::buildAxis(int src, int dst, std::vector<int>& start, std::vector<Contribution>& table)
{
    start.assign(static_cast<std::size_t>(src) + 1, 0);
    table.clear();
    for (int s = 0; s < src; ++s) {
        start[static_cast<std::size_t>(s)] = static_cast<int>(table.size());
        const long long lo = static_cast<long long>(s) * dst;
        const long long hi = lo + dst;
        for (long long d = lo / src; d < dst && d * src < hi; ++d) {
            const long long dLo = d * src;
            const long long overlap = std::min(hi, dLo + src) - std::max(lo, dLo);
            if (overlap > 0)
                table.push_back({static_cast<int>(d), static_cast<double>(overlap) / static_cast<double>(src)});
        }
    }
    start[static_cast<std::size_t>(src)] = static_cast<int>(table.size());
}

void AreaScaler::addRow(int y, const double* row)
{
    if (y < 0 || y >= srcH_) return;
    std::fill(rowSum_.begin(), rowSum_.end(), 0.0);
    for (int x = 0; x < srcW_; ++x) {
        const double* px = row + static_cast<std::size_t>(x) * static_cast<std::size_t>(channels_);
        for (int k = hStart_[static_cast<std::size_t>(x)]; k < hStart_[static_cast<std::size_t>(x) + 1]; ++k) {
            const Contribution& c = hTable_[static_cast<std::size_t>(k)];
            double* out = &rowSum_[static_cast<std::size_t>(c.dst) * static_cast<std::size_t>(channels_)];
            for (int ch = 0; ch < channels_; ++ch) out[ch] += c.weight * px[ch];
        }
    }
    for (int k = vStart_[static_cast<std::size_t>(y)]; k < vStart_[static_cast<std::size_t>(y) + 1]; ++k) {
        const Contribution& c = vTable_[static_cast<std::size_t>(k)];
        double* out = &acc_[static_cast<std::size_t>(c.dst) * static_cast<std::size_t>(dstW_ * channels_)];
        for (int i = 0; i < dstW_ * channels_; ++i) out[i] += c.weight * rowSum_[static_cast<std::size_t>(i)];
    }
}

} // namespace vextral::codecs
