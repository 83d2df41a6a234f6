#pragma once

#include "platform/IconExtractor.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vextral::fuzz {

// Runs everything a caller can ask of an icon source, of every icon and every
// image of its group (as many as the readers take: the decoding budget, not a
// count here, bounds the work); shared by the fuzzer and by the test that
// replays the saved corpus.
inline std::size_t exerciseIconSource(const std::uint8_t* data, std::size_t size)
{
    // Cursor groups on: they come after, and so with, every icon group.
    auto source = platform::IconSource::fromBytes(std::vector<std::uint8_t>(data, data + size), {}, {.cursors = true});
    std::size_t touched = 0;
    const int count = source.count();
    for (int i = 0; i < count; ++i) {
        const std::size_t images = source.images(i).size();
        touched += images;
        for (int e = 0; e < static_cast<int>(images); ++e) {
            if (const auto picture = source.imagePicture(i, e)) touched += picture->colour.size();
        }
        if (const auto icon = source.icon(i)) touched += icon->drawOver(0xFFFFFF)[0] & 1;
        touched += source.originalIco(i).size();
        touched += source.label(i).size() + source.isCursor(i);
    }
    return touched;
}

} // namespace vextral::fuzz
