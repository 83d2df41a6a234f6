#pragma once

#include "codecs/ImageBuffer.h"

#include <QImage>

namespace vextral::gui {

// A copy of a picture (1-bit ones in black and white) as a QImage, for showing it or putting it on the clipboard.
QImage toQImage(const codecs::Picture& picture);

} // namespace vextral::gui
