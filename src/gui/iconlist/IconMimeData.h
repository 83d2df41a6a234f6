#pragma once

#include "harvest/IconCatalogue.h"

#include <QString>

#include <vector>

class QMimeData;

namespace vextral::gui {

// What a drag of icons out of the list, or a copy of them, carries: a PNG
// file with transparency at side x side for each icon, written into folder,
// as a list of files (for file managers, with GNOME's copied-files list too),
// and the first icon as PNG and as .ico data (for image editors). Raises the
// writer's error when a file cannot be written.
QMimeData* iconMimeData(const IconCatalogue& catalogue, const std::vector<int>& positions, int side,
                        const QString& folder);

} // namespace vextral::gui
