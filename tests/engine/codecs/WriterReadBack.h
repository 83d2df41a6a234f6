#pragma once

// Shared by the writer tests: what independent readers decode from a file,
// in a form that compares with the picture it was written from.
#include "codecs/Picture.h"

#include "TestSupport.h"

#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace vextral::test {

using Bytes = std::vector<std::uint8_t>;

// "W x H: rrggbb ..." of a file as ImageMagick ("magick") or PIL ("pil")
// decodes it; empty when the reader fails. ImageMagick's pixels reach PIL
// as a PPM, only to be printed.
inline std::string readBack(const std::string& reader, const std::filesystem::path& file)
{
    const std::string q = shellQuote(file.string());
    const std::string print =
        "/usr/bin/python3 -c " +
        shellQuote("import io, sys; from PIL import Image; f = sys.argv[1]; "
                   "im = Image.open(io.BytesIO(sys.stdin.buffer.read()) if f == '-' else f).convert('RGB'); "
                   "print('%d x %d:' % im.size + ''.join(' %02x%02x%02x' % p for p in im.getdata()), end='')");
    std::string out;
    const int status =
        runCommand(reader == "magick" ? "/usr/bin/convert " + q + " -depth 8 ppm:- 2>/dev/null | " + print + " -"
                                      : print + " " + q + " 2>/dev/null",
                   &out);
    return status == 0 ? out : "";
}

// The same description of what a file written from the picture should hold.
inline std::string expected(
    const codecs::Picture& p, const std::function<codecs::Bgr(codecs::Bgr)>& map = [](codecs::Bgr c) { return c; })
{
    std::string text = std::to_string(p.width) + " x " + std::to_string(p.height) + ":";
    char hex[8];
    for (int y = 0; y < p.height; ++y) {
        for (int x = 0; x < p.width; ++x) {
            const codecs::Bgr c = map(p.pixel(x, y));
            std::snprintf(hex, sizeof hex, " %02x%02x%02x", c.r, c.g, c.b);
            text += hex;
        }
    }
    return text;
}

// A picture of many colours: gradients with a few repeats.
inline codecs::Picture colourful(int w, int h)
{
    codecs::Picture p = codecs::Picture::make(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            p.setPixel(x, y, {static_cast<std::uint8_t>(x * 37), static_cast<std::uint8_t>(y * 50 + x / 3 * 9), 0xC8});
    return p;
}

inline Bytes slice(const Bytes& b, std::size_t at, std::size_t n) { return Bytes(b.begin() + at, b.begin() + at + n); }

} // namespace vextral::test
