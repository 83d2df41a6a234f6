#pragma once

#include "codecs/IconPicture.h"
#include "core/ByteSource.h"
#include "core/Icon.h"
#include "core/ReaderLimits.h"

#include <cstdint>
#include <optional>
#include <span>

namespace vextral::codecs {

// What an image's own header says about it.
struct ImageInfo {
    int width = 0;
    int height = 0;
    int bits = 0;     // bits per pixel: 1, 4, 8, 16, 24, 32 (PNG: sample depth x channels)
    bool png = false; // PNG-compressed ("Vista") image
};

// Images stored in icon resources and icon files: a DIB whose height counts the
// colour and the mask halves, or a PNG stream. A DIB wider or taller than
// limits.dibSide, or a PNG above limits.iconPngSide, is refused (nothing).
std::optional<ImageInfo> probeIconImage(std::span<const std::uint8_t> data, const ReaderLimits& limits = {});
// Decodes such an image and scales it to the 32 x 32 large-icon size. Nothing
// when the image is damaged or truncated.
std::optional<Icon> decodeIconImage(std::span<const std::uint8_t> data, const ReaderLimits& limits = {});
// Decodes such an image at its own size. Nothing when it is damaged,
// truncated, or has more than limits.fullImagePixels pixels.
std::optional<IconPicture> decodeIconImageFull(std::span<const std::uint8_t> data, const ReaderLimits& limits = {});

// A whole .bmp file ("BM"): its header, and the picture as an opaque 32 x 32
// icon (a run-length one of at most limits.rlePixels pixels).
std::optional<ImageInfo> probeBitmapFile(const ByteSource& file, const ReaderLimits& limits = {});
std::optional<Icon> decodeBitmapFile(const ByteSource& file, const ReaderLimits& limits = {});

} // namespace vextral::codecs
