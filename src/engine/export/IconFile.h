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
// library, the file itself for icon files; a cursor becomes an icon, unless
// fileName ends in .cur, when it stays the cursor it is). When the
// source can no longer be read, or no longer holds the icon shown (the file
// changed since the harvest), the icon as shown is written instead, as one
// 32-bit image with its alpha (or 24-bit with its AND mask when it has no alpha).
void writeIconFile(const Icon& icon, const std::string& sourceFile, int iconIndex, const std::string& fileName);

// The icon a save can write in its original form: its picture and where its
// source file holds it (writeIconFile).
struct OriginalIcon {
    const Icon& icon;
    std::string sourceFile;
    int iconIndex = 0;
    bool cursor = false; // a harvested cursor: a .cur name writes it as its source holds it
};

// The one save decision of every window that saves through the save dialog
// (main window, editor, converter, capture) and of Save all, for the filter
// entry chosen and the name typed (codecs::savedFormat):
// - the name's extension picks the format when it names one, whatever the
//   entry ("x.png" under "Bmp File" is a PNG file); an extension no format
//   writes throws vextral::Error "Unknown picture file extension (.EXT)" and
//   writes nothing; a name without one is written in the entry's format.
// - An icon file (the "Icon File" entry of a window with a harvested icon,
//   or a name ending .ico typed under another entry when there is one) writes original (writeIconFile);
//   without one (a picture that is no icon) the picture as an icon of the standard sides.
// - Every other format writes the picture, already drawn and sized by the
//   caller, by that format's writer.
void writeSaveChoice(codecs::ImageBuffer& picture, const OriginalIcon* original, codecs::SaveFilterChoice choice,
                     const std::string& fileName);

// writeSaveChoice for icon i of the catalogue.
void writeCatalogueIcon(const IconCatalogue& catalogue, int i, codecs::ImageBuffer& picture,
                        codecs::SaveFilterChoice choice, const std::string& fileName);

} // namespace vextral::exporting
