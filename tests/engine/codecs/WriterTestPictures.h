#pragma once

// Pictures and readers the JPEG, PNG and icon writer tests share.
#include "TestSupport.h"
#include "codecs/ImageBuffer.h"
#include "codecs/Quantizer.h"
#include "codecs/Writers.h"
#include "core/Bytes.h"
#include "core/Error.h"
#include "platform/IconExtractor.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace vextral::test::writers {

using namespace vextral::codecs;

// A smooth picture with a few distinct colours: red-green gradient, blue block.
inline Picture gradient(int w, int h)
{
    Picture p = Picture::make(w, h);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            p.setPixel(x, y,
                       Bgr {static_cast<std::uint8_t>(x < w / 2 && y < h / 2 ? 200 : 0),
                            static_cast<std::uint8_t>(255 * y / std::max(1, h - 1)),
                            static_cast<std::uint8_t>(255 * x / std::max(1, w - 1))});
        }
    }
    return p;
}

inline std::string python(const std::string& script, const std::string& file)
{
    std::string out;
    EXPECT_EQ(runCommand("/usr/bin/python3 -c " + shellQuote(script) + " " + shellQuote(file) + " 2>&1", &out), 0)
        << out;
    return out;
}

// The pixels as "r,g,b r,g,b ...", row by row.
inline std::string pixelText(const Picture& p)
{
    std::string out;
    for (int y = 0; y < p.height; ++y) {
        for (int x = 0; x < p.width; ++x) {
            const Bgr c = p.pixel(x, y);
            out += std::to_string(c.r) + "," + std::to_string(c.g) + "," + std::to_string(c.b) + " ";
        }
    }
    return out + "\n";
}

inline const char* const kPilPixels =
    "import sys\nfrom PIL import Image\nim = Image.open(sys.argv[1]).convert('RGB')\n"
    "print(''.join('%d,%d,%d ' % im.getpixel((x, y)) for y in range(im.height) for x in range(im.width)))\n";

inline std::size_t find(const std::vector<std::uint8_t>& bytes, std::initializer_list<std::uint8_t> what)
{
    const std::vector<std::uint8_t> needle(what);
    const auto it = std::search(bytes.begin(), bytes.end(), needle.begin(), needle.end());
    return it == bytes.end() ? std::string::npos : static_cast<std::size_t>(it - bytes.begin());
}

} // namespace vextral::test::writers
