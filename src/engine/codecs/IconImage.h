#pragma once

#include "codecs/IconPicture.h"
#include "core/ByteSource.h"
#include "core/Icon.h"

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

// The largest PNG an icon image may be, in either direction; larger ones are refused.
constexpr int kMaxIconPngDimension = 4096;

// Images stored in icon resources and icon files: a DIB whose height counts the
// colour and the mask halves, or a PNG stream.
std::optional<ImageInfo> probeIconImage(std::span<const std::uint8_t> data);
// Decodes such an image and scales it to the 32 x 32 large-icon size. Nothing
// when the image is damaged or truncated.
std::optional<Icon> decodeIconImage(std::span<const std::uint8_t> data);

// The most pixels an image may have to be decoded at its own size.
constexpr long long kMaxFullImagePixels = 2048LL * 2048LL;
// Decodes such an image at its own size. Nothing when it is damaged,
// truncated, or has more than kMaxFullImagePixels pixels.
std::optional<IconPicture> decodeIconImageFull(std::span<const std::uint8_t> data);

// A whole .bmp file ("BM"): its header, and the picture as an opaque 32 x 32 icon.
std::optional<ImageInfo> probeBitmapFile(const ByteSource& file);
std::optional<Icon> decodeBitmapFile(const ByteSource& file);

} // namespace vextral::codecs
