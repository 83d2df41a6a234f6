#pragma once

#include "codecs/Picture.h"

#include <array>
#include <cstdint>
#include <vector>

namespace vextral::codecs {

// Median-cut style colour reduction of a 24-bit picture to at most N colours
// (N <= 256) over a histogram of 5 bits a channel: the box with the largest
// variance is cut where the two halves differ most, until N boxes or no box
// can be cut. Table colours are multiples of 8; mapping a colour is one lookup.
class Quantizer {
public:
    Quantizer(const Picture& picture, int colours);

    // The colours found (K <= N), blue-green-red.
    const std::vector<Bgr>& table() const { return table_; }
    int count() const { return static_cast<int>(table_.size()); }
    // The table padded with black to n entries.
    std::vector<Bgr> paddedTable(int n) const;
    // The table index for a colour.
    std::uint8_t index(Bgr c) const { return map_[cell(c)]; }
    // Maps a row of width blue-green-red pixels to table indices: one a byte
    // (bitsPerIndex 8), or two a byte, the first in the high half (4).
    void indexRow(const std::uint8_t* bgr, std::size_t width, int bitsPerIndex, std::uint8_t* out) const;
    static std::size_t cell(Bgr c) { return static_cast<std::size_t>((c.r >> 3) << 10 | (c.g >> 3) << 5 | (c.b >> 3)); }

private:
    std::vector<Bgr> table_;
    std::array<std::uint8_t, 32768> map_ {};
};

} // namespace vextral::codecs
