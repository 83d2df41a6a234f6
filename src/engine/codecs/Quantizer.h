#pragma once

#include "codecs/Picture.h"

#include <array>
#include <cstdint>
#include <vector>

namespace vextral::codecs {

// Colour reduction of a 24-bit picture to at most N colours (N <= 256).
//
// A picture of at most N distinct colours keeps them exactly: the table holds
// those colours in the order they first appear (rows top to bottom), and each
// maps to its own entry.
//
// Any other picture is reduced median-cut style over a histogram of 5 bits a
// channel: the box with the largest variance is cut where the two halves
// differ most, until N boxes or no box can be cut. A box's table colour is
// the mean of the picture's pixels inside it, at full 8-bit precision
// (rounded, halves to even); mapping a colour is one lookup of its cell.
class Quantizer {
public:
    Quantizer(const Picture& picture, int colours);

    // The colours found (K <= N), blue-green-red.
    const std::vector<Bgr>& table() const { return table_; }
    int count() const { return static_cast<int>(table_.size()); }
    // The table padded with black to n entries.
    std::vector<Bgr> paddedTable(int n) const;
    // The table index for a colour. With exact colours a colour not in the
    // table gets the nearest entry (sum of channel differences, the first of
    // equals); otherwise its cell's box, or 0 for a cell outside every box.
    std::uint8_t index(Bgr c) const;
    // Whether the table holds exactly the picture's colours.
    bool exact() const { return exact_; }
    // Maps a row of width blue-green-red pixels to table indices: one a byte
    // (bitsPerIndex 8), or two a byte, the first in the high half (4).
    void indexRow(const std::uint8_t* bgr, std::size_t width, int bitsPerIndex, std::uint8_t* out) const;
    static std::size_t cell(Bgr c) { return static_cast<std::size_t>((c.r >> 3) << 10 | (c.g >> 3) << 5 | (c.b >> 3)); }

private:
    // Collects the picture's distinct colours into table_ and the exact
    // lookup, giving up (and clearing both) past colours of them.
    bool collectExact(const Picture& picture, int colours);
    std::uint8_t exactIndex(Bgr c) const;

    std::vector<Bgr> table_;
    bool exact_ = false;
    // Exact colours: open addressing over packed 0xRRGGBB + 1 (0 is an empty
    // slot), with the table index of each.
    static constexpr std::size_t kExactSlots = 512; // twice the most colours kept
    std::vector<std::uint32_t> exactKeys_;
    std::vector<std::uint8_t> exactValues_;
    std::array<std::uint8_t, 32768> map_ {};
};

} // namespace vextral::codecs
