#pragma once

#include "core/ByteSource.h"
#include "core/ReaderLimits.h"
#include "platform/IconExtractor.h"

#include <memory>
#include <string>
#include <vector>

namespace vextral::platform {

// Icon files that are not Windows icon files, read as the .ico file they
// amount to, so the icon source lists, draws and saves their images as it
// does those of any icon file:
//
//   PNG    one image: the file itself (browsers take a PNG named favicon.ico)
//   icns   Apple's icon family: every image that can be read, the PNG ones
//          as PNG images, the classic RGB ones (with their 8-bit masks) as
//          32-bit DIBs whose AND mask is set where they are transparent
//
// The .ico is not copied out: its directory and the decoded images (one of
// each kind: is32, il32, ih32, it32, ics#, ICN#, ic04 and ic05 as ARGB, 128 x
// 128 the largest) are held in memory, every PNG image is read from the file
// where it lies.
struct IcoOfFile {
    // Png or Icns; None when the file is neither (then nothing else is set).
    IconFileKind kind = IconFileKind::None;
    // The images as an .ico file; null when none of them can be read.
    std::shared_ptr<const ByteSource> ico;
    // What was left out of an icns file and why, one line a chunk, e.g.
    // "ic08: JPEG 2000 images are not read".
    std::vector<std::string> skipped;
};

// Recognises the file by its first bytes. The walk over an icns file's
// chunks stops at limits.icnsChunks chunks, at a chunk whose length is below
// its own header or runs past the file, keeping what came before.
IcoOfFile icoOfPngOrIcns(std::shared_ptr<const ByteSource> file, const ReaderLimits& limits = {});

} // namespace vextral::platform
