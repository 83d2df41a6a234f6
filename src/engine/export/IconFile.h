#pragma once

#include "codecs/ImageBuffer.h"
#include "codecs/OutputFormats.h"
#include "core/Icon.h"
#include "harvest/IconCatalogue.h"

#include <string>

namespace vextral::exporting {

// Turns the bytes of a cursor file (type 2) into an icon file (type 1) with
// the same images: each entry's hotspot becomes the planes and depth an icon
// entry holds. Other bytes are left as they are.
void cursorToIcon(std::vector<std::uint8_t>& file);

// Saves a harvested icon as an icon file the way its source holds it: every
// image of the icon byte for byte (rebuilt from the group of a program or
// library, the file itself for icon files; a cursor becomes an icon). When the source can no longer be
// read, the catalogue's 32 x 32 picture is written instead, as one 32-bit
// image with its alpha (or 24-bit with its AND mask when it has no alpha).
void writeIconFile(const Icon& icon, const std::string& sourceFile, int iconIndex, const std::string& fileName);

// Writes icon i of the catalogue to fileName in a format: the icon's original
// form, or the buffer's picture (already drawn and sized by the caller) by
// the format's writer or, with SaveRoute::ByExtension, by the name's
// extension.
void writeCatalogueIcon(const IconCatalogue& catalogue, int i, codecs::ImageBuffer& picture,
                        codecs::SaveFilterChoice choice, const std::string& fileName);

} // namespace vextral::exporting
