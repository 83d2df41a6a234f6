#pragma once

#include <cstdlib>
#include <iterator>

namespace vextral::gui {

// The three views of the icon list: large icons in rows, a list with each
// source file's name, details in columns.
enum class IconLayout { LargeIcon, List, Details };

// The sides the icon list draws its icons at, smallest first.
inline constexpr int kZoomSides[] = {16, 24, 32, 48, 64, 96, 128, 256};

// The place in kZoomSides of the side nearest to side.
constexpr int nearestZoomStep(int side)
{
    int best = 0;
    for (int k = 1; k < static_cast<int>(std::size(kZoomSides)); ++k) {
        if (std::abs(kZoomSides[k] - side) < std::abs(kZoomSides[best] - side)) best = k;
    }
    return best;
}

// The side steps places up (or down, when negative) from side's nearest,
// held within kZoomSides.
constexpr int zoomSideAfter(int side, int steps)
{
    int k = nearestZoomStep(side) + steps;
    if (k < 0) k = 0;
    if (k >= static_cast<int>(std::size(kZoomSides))) k = static_cast<int>(std::size(kZoomSides)) - 1;
    return kZoomSides[k];
}

} // namespace vextral::gui
