#pragma once

#include "harvest/IconCatalogue.h"

#include <QString>

namespace vextral::gui {

// The icon list's tool tip for an icon: its source file and index, then the
// size and depth of each image the icon holds, read from the file when asked.
// A file that no longer holds the icon gives the first line alone.
QString iconToolTip(const IconRecord& record);

} // namespace vextral::gui
