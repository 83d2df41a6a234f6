#pragma once

#include "codecs/Picture.h"

namespace vextral::exporting {

// The converter's preview box is this many pixels wide and high.
constexpr int kPreviewBox = 233;

struct PreviewSize {
    int width = 0;
    int height = 0;
    bool operator==(const PreviewSize&) const = default;
};

// The size the converter shows a width x height picture at. A picture taller
// than the box is scaled to its height (and may come out wider than the box,
// which then shows its left part); otherwise one wider than the box is scaled
// to its width; otherwise it keeps its size. The scaled side is rounded to the
// nearest pixel, halves to the even neighbour (466 x 233 gives 233 x 116), and
// is never less than one pixel.
PreviewSize previewSize(int width, int height);

// The picture rescaled to width x height with the box filter, in two passes:
// first along the rows to the new width, then down the columns to the new
// height. Each target pixel is the mean of the source pixels its box covers,
// weighted by how much of each it covers; every pass rounds to whole values,
// halves to the even neighbour. A 1-bit picture is made 24 bits first. A side
// of 0 or less gives an empty picture.
codecs::Picture boxRescale(const codecs::Picture& picture, int width, int height);

// The converter's preview of a loaded picture: 24 bits a pixel, at
// previewSize, rescaled by boxRescale when the size differs.
codecs::Picture makePreview(const codecs::Picture& picture);

} // namespace vextral::exporting
