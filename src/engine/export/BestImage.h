#pragma once

#include "codecs/IconPicture.h"
#include "codecs/ImageBuffer.h"
#include "harvest/IconCatalogue.h"
#include "platform/IconExtractor.h"

#include <optional>
#include <string>
#include <vector>

namespace vextral::exporting {

// The entries of images (as IconSource::images lists them) to draw a
// width x height picture from, best first: the images at least as large in
// both directions, smallest first, then the others, largest first; among
// images of one size the deeper one first, then stored order. Unreadable
// entries are left out.
std::vector<int> bestImageOrder(const std::vector<platform::IconImageEntry>& images, int width, int height);

// Icon index of the file at path drawn at width x height (1 to
// codecs::kMaxPictureSide each) from its best image, shrunk by the area
// filter or enlarged smoothly, its alpha or mask kept. An image that fails to
// decode gives way to the next; when none can be decoded at its own size (a
// bitmap file, an image too large) the icon's 32 x 32 picture is scaled.
// Nothing when the file cannot be read, has no such icon, or a size is out
// of range.
std::optional<codecs::IconPicture> renderBestImage(const std::string& path, int index, int width, int height);

// The same from a source the caller holds open: a view that draws many icons
// of one file keeps its source for them.
std::optional<codecs::IconPicture> renderBestImage(const platform::IconSource& source, int index, int width,
                                                   int height);

// While one lives (Save all, the web gallery and printing hold one for their
// run), renderBestImage keeps the file it drew from last open for the next
// call on that file, as long as it is the same file: the icons of one file
// then share one icon source, its decoding budget and the images it has
// decoded. Without one each call opens the file afresh.
class BestImageRun {
public:
    BestImageRun();
    ~BestImageRun();
    BestImageRun(const BestImageRun&) = delete;
    BestImageRun& operator=(const BestImageRun&) = delete;
};

// Catalogue icon i the same way from its source file, or, when that file can
// no longer be read, from the catalogue's own 32 x 32 picture.
codecs::IconPicture renderCatalogueBestImage(const IconCatalogue& catalogue, int i, int width, int height);

// What a save of catalogue icon i at the sizes typed draws into buffer: the
// best image over the buffer's background. The sizes follow
// ImageBuffer::resample of the 32 x 32 picture: a negative side equals the
// other, both negative keep 32 x 32, a side of 0 gives an empty picture, one
// above the limit raises the size error.
void drawBestImage(codecs::ImageBuffer& buffer, const IconCatalogue& catalogue, int i, int width, int height);

// Draws picture over the buffer's background, replacing the buffer's picture.
void drawIconPicture(codecs::ImageBuffer& buffer, const codecs::IconPicture& picture);

} // namespace vextral::exporting
