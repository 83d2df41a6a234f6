#pragma once

#include "harvest/IconCatalogue.h"

#include <QString>

#include <vector>

namespace vextral::gui {

// The icon list's tool tip for an icon: its source file and index, then the
// size and depth of each image the icon holds, read from the file when asked.
// A file that no longer holds the icon gives the first line alone.
QString iconToolTip(const IconRecord& record);

// The images' lines of that tip ("48 x 48, 32 bits", "256 x 256, 32 bits,
// PNG", "... unreadable"), at most a couple of dozen and then "(N more)" for
// the rest of the listed images, joined by separator.
QString imageLines(const std::vector<IconImageSummary>& images, int listed, const QString& separator);

} // namespace vextral::gui
