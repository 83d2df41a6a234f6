#pragma once

#include "codecs/Picture.h"

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

namespace vextral::codecs {

// Bytes being read, with a position; readers never go past size.
struct ByteReader {
    const std::uint8_t* data = nullptr;
    std::size_t size = 0;
    std::size_t pos = 0;
    std::size_t left() const { return pos <= size ? size - pos : 0; }
};

// The parameters every writer and reader of an image buffer reads; they keep
// their values from one write to the next.
struct IOParams {
    std::int32_t sampleBits = 8;
    std::int32_t samples = 3;
    std::int32_t imageWidth = 0, imageHeight = 0;
    std::int32_t resolutionX = 0, resolutionY = 0;
    std::int32_t fileType = 0;
    std::uint8_t tiffCompression = 0;
    std::int32_t tiffPage = 0;
    std::uint8_t tiffPhotometric = 2;
    std::int32_t tiffLeft = 0, tiffTop = 0;
    std::string tiffDocumentName, tiffDescription, tiffPageName;
    std::int32_t tiffPageNumber = 0, tiffPageCount = 0;
    std::string gifVersion = "GIF89a";
    std::int32_t gifImageIndex = 0, gifLeft = 0, gifTop = 0, gifDelay = 0;
    bool gifTransparent = false;
    Bgr gifTransparentColor;
    bool gifInterlaced = false;
    std::int32_t gifScreenWidth = 0, gifScreenHeight = 0;
    Bgr gifBackground;
    std::int32_t gifAspect = 0;
    std::uint8_t jpegColorSpace = 2;
    std::int32_t jpegQuality = 50;
    std::uint8_t jpegDctMethod = 0;
    bool jpegOptimize = false;
    std::int32_t jpegSmoothing = 0;
    bool jpegProgressive = false;
    std::int32_t pcxVersion = 5;
    bool pcxCompressed = true;
    std::uint8_t bmpVersion = 1;
    bool bmpCompressed = false;
    bool pngInterlaced = false;
    Bgr pngBackground;
    std::uint8_t pngFilter = 0;
    std::int32_t pngLevel = 5;
    std::int32_t tgaLeft = 0, tgaTop = 0;
    bool tgaCompressed = true;
    std::string tgaName, tgaAuthor;
    std::tm tgaDate {}; // the day the buffer was made, 00:00:00
    std::string tgaJob;
    Bgr tgaKeyColor;
    double tgaAspect = 1.0;
    double tgaGamma = 2.2;
    bool tgaGray = false;
    std::string lastFileName;
    std::vector<Bgr> palette;
    std::int32_t paletteCount = 0;
};

} // namespace vextral::codecs
