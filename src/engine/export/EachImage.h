#pragma once

#include "core/OutputNames.h"
#include "harvest/IconCatalogue.h"
#include "platform/IconExtractor.h"

#include <string>

namespace vextral::exporting {

// Every image of an icon as a picture file of its own: each distinct image
// the icon lists, at its own size, as an 8-bit RGBA PNG with straight alpha
// (codecs::IconPicture::argb: masked pixels clear, an inverted pixel as it
// shows over white), named "<file name>_<icon index>_<W>x<H>x<bits>.png".
struct EachImageCounts {
    int written = 0;
    int renamed = 0;          // the name was one an earlier file of the run took
    int renamedForInputs = 0; // the name was a harvested file's
    int unreadable = 0;       // images that could not be decoded: no file
};

// The file name of one image: "shell32.dll_3_48x48x32.png".
std::string eachImageName(const std::string& sourceFile, int iconIndex, const codecs::ImageInfo& image);

// Writes the images of icon index of source, which was read from sourceFile,
// into folder (which must exist), each path claimed through names; a bitmap
// file's as the 32 x 32 picture it gives ("..._32x32x24.png"). Raises the
// writer's error when a file cannot be made, after counting what was written.
void writeEachImage(const platform::IconSource& source, const std::string& sourceFile, int index,
                    const std::string& folder, OutputNames& names, EachImageCounts& counts);

// The same for catalogue icon i, its source opened again; an icon whose file
// can no longer be read, or no longer holds the icon shown, is written as the
// catalogue's 32 x 32 picture ("..._32x32x32.png").
void writeCatalogueEachImage(const IconCatalogue& catalogue, int i, const std::string& folder, OutputNames& names,
                             EachImageCounts& counts);

} // namespace vextral::exporting
