#pragma once

#include "harvest/IconCatalogue.h"

#include <string>
#include <vector>

namespace vextral::exporting {

// The files that hand icons to another program, as a drag to a file manager
// or an image editor, or the clipboard, does.
struct HandOutFiles {
    std::vector<std::string> pngs; // one a position, in the order given
    std::vector<std::string> icos;
};

// For each catalogue position: a PNG with straight alpha at side x side,
// drawn from the icon's own best image (masked pixels transparent), and the
// icon as its source holds it (.ico), both named "<file>_<index>" in folder,
// a repeated name numbered " (2)", " (3)", .... Positions outside the
// catalogue are skipped. Raises the writer's error when a file cannot be made.
HandOutFiles writeHandOutFiles(const IconCatalogue& catalogue, const std::vector<int>& positions, int side,
                               const std::string& folder);

} // namespace vextral::exporting
