#pragma once

#include "harvest/IconCatalogue.h"

#include <string>
#include <vector>

namespace vextral {

// What the icon list's filter field asks for, read from its text:
//   "has 256", "has 48"   an image whose larger side is that many pixels
//   "32-bit", "8-bit"     an image of that many bits per pixel
//   any other word        found in the source file's path, letter case ignored
// Every part must hold. "has" followed by no number is a word like any other.
struct IconFilter {
    std::vector<std::string> words; // in lower case
    std::vector<int> sides;
    std::vector<int> depths;

    bool empty() const { return words.empty() && sides.empty() && depths.empty(); }
};

IconFilter parseIconFilter(const std::string& text);

// Whether catalogue icon i passes the filter.
bool iconMatches(const IconCatalogue& catalogue, int i, const IconFilter& filter);

// The orders the icon list can show: harvest order; by source file name
// (letter case ignored), then path and index; by the largest image, largest
// first. Icons that compare equal stay in harvest order.
enum class IconOrder { Harvest, SourceFile, LargestImage };

// The catalogue positions of the items that pass the filter, in that order.
std::vector<int> queryIcons(const IconCatalogue& catalogue, const IconFilter& filter, IconOrder order);

// Appends to shown the positions from first on (up to the item count) that
// pass the filter, for a list in harvest order that grows as a run adds icons.
void appendMatchingIcons(const IconCatalogue& catalogue, const IconFilter& filter, int first, std::vector<int>& shown);

} // namespace vextral
