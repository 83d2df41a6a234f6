// Times the BMP, PCX, TGA and TIFF writers on a 12-megapixel true-colour
// picture (4000 x 3000), and the 256-colour and 1-bit depths of two of them: half of it smooth gradients, half noise,
// so the run-length coders meet both long runs and none.
//
//   bench_writers [folder]     (default: the system's temporary folder)

#include "codecs/Writers.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>

using namespace vextral::codecs;

int main(int argc, char** argv)
{
    const std::filesystem::path folder =
        argc > 1 ? std::filesystem::path(argv[1]) : std::filesystem::temp_directory_path();
    ImageBuffer buffer;
    Picture& p = buffer.picture();
    p = Picture::make(4000, 3000);
    std::mt19937 random(12345);
    for (int y = 0; y < p.height; ++y) {
        std::uint8_t* row = p.row(y);
        for (int x = 0; x < p.width; ++x, row += 3) {
            if (y < p.height / 2) {
                row[0] = static_cast<std::uint8_t>(x / 16);
                row[1] = static_cast<std::uint8_t>(y / 8);
                row[2] = 0xC8;
            } else {
                const auto r = random();
                row[0] = static_cast<std::uint8_t>(r);
                row[1] = static_cast<std::uint8_t>(r >> 8);
                row[2] = static_cast<std::uint8_t>(r >> 16);
            }
        }
    }

    struct Case {
        const char* name;
        void (*write)(ImageBuffer&, const std::string&);
        const char* file;
        bool compressed;
        int sampleBits = 8, samples = 3; // 8 and 1 ask for 256 colours, 1 and 1 for two
    };
    const Case cases[] = {
        {"BMP 24-bit", writeBmp, "bench.bmp", true},
        {"PCX 24-bit, run-length", writePcx, "bench.pcx", true},
        {"PCX 24-bit, raw", writePcx, "bench-raw.pcx", false},
        {"TGA 24-bit, run-length", writeTga, "bench.tga", true},
        {"TGA 24-bit, raw", writeTga, "bench-raw.tga", false},
        {"TIFF 24-bit", writeTiff, "bench.tif", true},
        // These include the colour quantiser and the two-colour reduction.
        {"BMP 8-bit", writeBmp, "bench8.bmp", true, 8, 1},
        {"PCX 8-bit, run-length", writePcx, "bench8.pcx", true, 8, 1},
        {"BMP 1-bit", writeBmp, "bench1.bmp", true, 1, 1},
    };
    for (const Case& c : cases) {
        buffer.params().pcxCompressed = buffer.params().tgaCompressed = c.compressed;
        buffer.params().sampleBits = c.sampleBits;
        buffer.params().samples = c.samples;
        const std::string path = (folder / c.file).string();
        const auto start = std::chrono::steady_clock::now();
        c.write(buffer, path);
        const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        std::printf("%-24s %8.1f ms  %10ju bytes\n", c.name, ms,
                    static_cast<std::uintmax_t>(std::filesystem::file_size(path)));
        std::filesystem::remove(path);
    }
    return 0;
}
