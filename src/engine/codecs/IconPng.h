#pragma once

#include "codecs/IconImage.h"

#include <cstdint>
#include <optional>
#include <span>

namespace vextral::codecs {

// PNG-compressed images of icons: whether data is one, what its header says,
// and the image drawn at 32 x 32 with its alpha. Nothing when it is damaged
// or a side is above limits.iconPngSide.
bool isIconPng(std::span<const std::uint8_t> data);
std::optional<ImageInfo> probeIconPng(std::span<const std::uint8_t> data, const ReaderLimits& limits = {});
std::optional<Icon> decodeIconPng(std::span<const std::uint8_t> data, const ReaderLimits& limits = {});
// The image at its own size; nothing when it is damaged or has more than
// limits.fullImagePixels pixels.
std::optional<IconPicture> decodeIconPngFull(std::span<const std::uint8_t> data, const ReaderLimits& limits = {});

} // namespace vextral::codecs
