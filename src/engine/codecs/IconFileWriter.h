#pragma once

#include "harvest/Icon.h"

#include <string>

namespace vextral::codecs {

// Saves a harvested icon as an icon file the way its source holds it: every
// image of the icon byte for byte (rebuilt from the group of a program or
// library, the file itself for icon files). When the source can no longer be
// read, the catalogue's 32 x 32 picture is written instead, as one 32-bit
// image with its alpha (or 24-bit with its AND mask when it has no alpha).
void writeIconFile(const Icon& icon, const std::string& sourceFile, int iconIndex, const std::string& fileName);

} // namespace vextral::codecs
