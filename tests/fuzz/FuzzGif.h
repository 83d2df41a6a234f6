#pragma once

#include "codecs/GifLzw.h"
#include "codecs/GifReader.h"
#include "codecs/ImageBuffer.h"
#include "codecs/Quantizer.h"
#include "codecs/TiffLzw.h"
#include "codecs/Writers.h"
#include "core/Error.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

namespace vextral::fuzz {

// Exercise functions shared by the fuzzers and by the test that replays the
// saved corpus. A wrong result that is no crash stops the process on purpose.

namespace detail {

inline std::string scratchFile(const char* name)
{
    return (std::filesystem::temp_directory_path() / ("vextral-fuzz-" + std::to_string(getpid()) + "-" + name))
        .string();
}

// Writing a picture read from a file and reading it back gives the picture
// through the table the writer chose.
inline void checkWriteAndReread(codecs::ImageBuffer& buffer, const std::string& path)
{
    const codecs::Picture picture = buffer.picture();
    codecs::writeGif(buffer, path);
    codecs::ImageBuffer again;
    const ReadStatus read = codecs::readGifFile(again, path);
    const codecs::Picture& back = again.picture();
    if (!read || back.width != picture.width || back.height != picture.height) __builtin_trap();
    int bits = buffer.params().sampleBits;
    if (bits < 1 || bits > 8) bits = 8;
    if (bits == 1) {
        // The two-colour reduction's bits over its two colours.
        const codecs::TwoColourPicture two = codecs::reduceToTwoColours(picture);
        for (int y = 0; y < picture.height; ++y) {
            for (int x = 0; x < picture.width; ++x) {
                if (back.pixel(x, y) != (two.picture.bit(x, y) ? two.colour1 : two.colour0)) __builtin_trap();
            }
        }
        return;
    }
    const codecs::Picture source = codecs::to24Bit(picture);
    const codecs::Quantizer q(source, 1 << bits);
    for (int y = 0; y < picture.height; ++y) {
        for (int x = 0; x < picture.width; ++x) {
            if (back.pixel(x, y) != q.table()[q.index(source.pixel(x, y))]) __builtin_trap();
        }
    }
}

} // namespace detail

// The GIF reader on these bytes, for the first and second image; it reports
// every failure and never throws. Small pictures it reads are written again
// (to a file: the writers write files) and read back.
inline std::size_t exerciseGifReader(const std::uint8_t* data, std::size_t size)
{
    const std::string out = detail::scratchFile("out.gif");
    std::size_t touched = 0;
    for (const int index : {0, 1}) {
        codecs::ImageBuffer buffer;
        buffer.params().gifImageIndex = index;
        const ReadStatus read = codecs::readGif(buffer, {data, size});
        if (!read) {
            if (read.reason().empty()) __builtin_trap();
            continue;
        }
        const codecs::Picture& p = buffer.picture();
        touched += p.pixels.size();
        if (!p.empty() && static_cast<long long>(p.width) * p.height <= 1 << 16)
            detail::checkWriteAndReread(buffer, out);
    }
    std::remove(out.c_str());
    return touched;
}

// The GIF LZW decoder on the bytes after a 3-byte prefix (width, height,
// interlacing), then an encode and decode of those bytes as pixels, which
// must give them back.
inline std::size_t exerciseGifLzw(const std::uint8_t* data, std::size_t size)
{
    if (size < 3) return 0;
    const int flags = data[0];
    const int width = 1 + data[1] % 128, height = 1 + data[2] % 128;
    const bool interlaced = flags & 1;
    const std::uint8_t* payload = data + 3;
    const std::size_t n = size - 3;
    const std::size_t total = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    std::vector<std::uint8_t> pixels(total + 8, 0xA5);
    codecs::ByteReader in {payload, n, 0};
    std::size_t filled = 0;
    try {
        filled = codecs::decodeGif(in, height, width, interlaced, pixels.data());
    } catch (const Error&) {}
    if (filled > total || in.pos > n) __builtin_trap();
    for (std::size_t i = total; i < total + 8; ++i) {
        if (pixels[i] != 0xA5) __builtin_trap();
    }

    const int bits = 1 + (flags >> 1) % 8;
    const int w = 1 + (flags >> 4);
    const int h = static_cast<int>(n / static_cast<std::size_t>(w));
    std::vector<std::uint8_t> image(payload, payload + static_cast<std::size_t>(w) * static_cast<std::size_t>(h));
    for (auto& v : image) v = static_cast<std::uint8_t>(v & ((1 << bits) - 1));
    std::vector<std::uint8_t> stream;
    codecs::encodeGif(stream, h, w, interlaced, image.data(), bits);
    std::vector<std::uint8_t> back(image.size());
    codecs::ByteReader again {stream.data(), stream.size(), 0};
    if (codecs::decodeGif(again, h, w, interlaced, back.data()) != image.size() || back != image ||
        again.pos != stream.size()) {
        __builtin_trap();
    }
    return filled + stream.size();
}

// The TIFF LZW decoder on the bytes after a 2-byte row length, row by row.
inline std::size_t exerciseTiffLzw(const std::uint8_t* data, std::size_t size)
{
    if (size < 3) return 0;
    const std::size_t rowLength = 1 + ((static_cast<std::size_t>(data[0]) << 8 | data[1]) & 0xFFF);
    std::unique_ptr<codecs::TiffLzwState> state;
    std::size_t touched = 0;
    for (int row = 0; row < 64; ++row) {
        const std::uint8_t* out = codecs::decodeTiffLzw(data + 2, size - 2, rowLength, state);
        if (!out) __builtin_trap();
        touched += out[0] + out[rowLength - 1];
    }
    if (codecs::decodeTiffLzw(nullptr, 0, rowLength, state) != nullptr || state) __builtin_trap();
    return touched;
}

} // namespace vextral::fuzz
