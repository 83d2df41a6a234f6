#pragma once
// Decodes GIFs with Python's PIL, a reader independent of ours: every GIF the
// tests write is checked by it.

#include "TestSupport.h"

#include <cstdint>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

namespace vextral::test {

struct PilImage {
    int width = 0, height = 0;
    std::vector<std::uint8_t> rgb, indices; // 3 bytes a pixel; palette index a pixel
    std::uint32_t at(int x, int y) const    // 0xRRGGBB
    {
        const std::size_t i =
            3 * (static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x));
        return static_cast<std::uint32_t>(rgb[i]) << 16 | static_cast<std::uint32_t>(rgb[i + 1]) << 8 | rgb[i + 2];
    }
};

// Frame frame of the file as PIL decodes it (what there is of it when the
// data ends early); width 0 when PIL fails.
inline PilImage pilRead(const std::filesystem::path& path, int frame = 0)
{
    const std::string script =
        "import sys\nfrom PIL import Image, ImageFile\nImageFile.LOAD_TRUNCATED_IMAGES = True\nim = "
        "Image.open(sys.argv[1])\nim.seek(int(sys.argv[2]))\n"
        "p = im if im.mode == 'P' else im.convert('P')\n"
        "sys.stdout.buffer.write(b'%d %d\\n' % im.size + im.convert('RGB').tobytes() + p.tobytes())\n";
    std::string out;
    PilImage image;
    if (runCommand("/usr/bin/python3 -c " + shellQuote(script) + " " + shellQuote(path.string()) + " " +
                       std::to_string(frame) + " 2>/dev/null",
                   &out) != 0) {
        return image;
    }
    const std::size_t eol = out.find('\n');
    std::istringstream(out.substr(0, eol)) >> image.width >> image.height;
    const std::size_t n = static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height);
    if (eol == std::string::npos || out.size() != eol + 1 + 4 * n) return PilImage {};
    image.rgb.assign(out.begin() + static_cast<std::ptrdiff_t>(eol + 1), out.end() - static_cast<std::ptrdiff_t>(n));
    image.indices.assign(out.end() - static_cast<std::ptrdiff_t>(n), out.end());
    return image;
}

} // namespace vextral::test
