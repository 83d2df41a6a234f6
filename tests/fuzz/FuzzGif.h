#pragma once

#include "codecs/GifLzw.h"
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

inline void writeFile(const std::string& path, const std::uint8_t* data, std::size_t size)
{
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) __builtin_trap();
    if (size != 0 && std::fwrite(data, 1, size, f) != size) __builtin_trap();
    std::fclose(f);
}

// Writing a picture read from a file and reading it back gives the picture
// through the table the writer chose.
inline void checkWriteAndReread(codecs::ImageBuffer& buffer, const std::string& path)
{
    const codecs::Picture picture = buffer.picture();
    codecs::writeGif(buffer, path);
    codecs::ImageBuffer again;
    codecs::attachLzwCoders(again.params());
    again.loadFromFile(path);
    const codecs::Picture& back = again.picture();
    if (again.aborting || back.width != picture.width || back.height != picture.height) __builtin_trap();
    int bits = buffer.params().sampleBits;
    if (bits < 1 || bits > 8) bits = 8;
    if (bits == 1) {
        const codecs::Picture two = codecs::reduceToTwoColours(picture).picture;
        for (int y = 0; y < picture.height; ++y) {
            for (int x = 0; x < picture.width; ++x) {
                if (back.pixel(x, y) != two.pixel(x, y)) __builtin_trap();
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

// The GIF reader on a file of these bytes, for the first and second image;
// small pictures it reads are written again and read back.
inline std::size_t exerciseGifReader(const std::uint8_t* data, std::size_t size)
{
    const std::string in = detail::scratchFile("in.gif"), out = detail::scratchFile("out.gif");
    detail::writeFile(in, data, size);
    std::size_t touched = 0;
    for (const int index : {0, 1}) {
        codecs::ImageBuffer buffer;
        codecs::attachLzwCoders(buffer.params());
        buffer.params().gifImageIndex = index;
        try {
            buffer.loadFromFile(in);
        } catch (const Error&) {
            continue;
        }
        if (buffer.aborting) continue;
        const codecs::Picture& p = buffer.picture();
        touched += p.pixels.size();
        if (!p.empty() && static_cast<long long>(p.width) * p.height <= 1 << 16)
            detail::checkWriteAndReread(buffer, out);
    }
    std::remove(in.c_str());
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
