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
// Any other picture is reduced at full 8-bit precision. Its distinct colours
// are counted (a large picture of very many colours is counted by cells of 6
// bits a channel instead, each cell standing for the mean of its pixels);
// boxes of them are cut, always the box whose best cut lowers the squared
// error most, at the place along the channel where the two halves' summed
// squared errors are least (red before green before blue on a tie), until N
// boxes or no box can be cut. The box means then move to the means of the
// colours nearest them, a few rounds or until nothing changes (Lloyd's
// k-means). A table colour is a mean rounded, halves to even. Mapping a
// colour gives the nearest entry by squared distance (the first of equals),
// exactly, found among the few entries that can be nearest to its cell.
// No dithering. The result depends only on the picture.
class Quantizer {
public:
    Quantizer(const Picture& picture, int colours);

    // The colours found (K <= N), blue-green-red.
    const std::vector<Bgr>& table() const { return table_; }
    int count() const { return static_cast<int>(table_.size()); }
    // The table padded with black to n entries.
    std::vector<Bgr> paddedTable(int n) const;
    // The table index for a colour: its own entry with exact colours, else
    // (and for a colour not in the picture) the nearest entry.
    std::uint8_t index(Bgr c) const;
    // Whether the table holds exactly the picture's colours.
    bool exact() const { return exact_; }
    // Maps a row of width blue-green-red pixels to table indices: one a byte
    // (bitsPerIndex 8), or two a byte, the first in the high half (4).
    void indexRow(const std::uint8_t* bgr, std::size_t width, int bitsPerIndex, std::uint8_t* out) const;

private:
    // Collects the picture's distinct colours into table_ and the exact
    // lookup, giving up (and clearing both) past colours of them.
    bool collectExact(const Picture& picture, int colours);
    std::uint8_t exactIndex(Bgr c) const;
    // The nearest entry by searching the whole table.
    std::uint8_t nearestOfAll(Bgr c) const;
    // The lists of entries that can be nearest to a colour of each cell (5
    // bits a channel) that holds colours of the picture.
    void listCandidates(const std::vector<std::uint16_t>& cells);

    std::vector<Bgr> table_;
    bool exact_ = false;
    // Exact colours: open addressing over packed 0xRRGGBB + 1 (0 is an empty
    // slot), with the table index of each.
    static constexpr std::size_t kExactSlots = 512; // twice the most colours kept
    std::vector<std::uint32_t> exactKeys_;
    std::vector<std::uint8_t> exactValues_;
    // Reduced colours: per cell of 5 bits a channel, where its candidates
    // start in candidates_ (kNoList: search the whole table), how many there
    // are, and the lists, each nearest to its cell first, with the least
    // squared distance of each candidate to a colour of the cell.
    static constexpr std::uint32_t kNoList = 0xFFFFFFFFu;
    std::vector<std::uint32_t> listStart_;
    std::vector<std::uint16_t> listLength_;
    std::vector<std::uint8_t> candidates_;
    std::vector<int> candidateNear_;
};

} // namespace vextral::codecs
