// Times the GIF writer (quantiser, index mapping, LZW encoder) on a
// 12-megapixel photograph-like picture, and the LZW encoder alone against
// giflib's EGifPutLine on the same indices when giflib is there.
//
//   bench_gif [--rounds N] [--width W --height H] [--ppm FILE] [--gif FILE]
//
// --ppm writes the picture as a binary PPM (for other programs to compare
// with) and --gif keeps the GIF written. The picture is the same on every run.
#include "codecs/GifLzw.h"
#include "codecs/ImageBuffer.h"
#include "codecs/Quantizer.h"
#include "codecs/Writers.h"

#ifdef VEXTRAL_HAVE_GIFLIB
#include <gif_lib.h>
#endif

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <unistd.h>
#include <vector>

using namespace vextral::codecs;

namespace {

// Smooth colour gradients with a few soft shapes and film-grain noise.
Picture photograph(int w, int h)
{
    Picture p = Picture::make(w, h);
    std::uint32_t state = 0x9E3779B9u;
    const auto noise = [&state] {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return static_cast<int>(state % 17) - 8;
    };
    for (int y = 0; y < h; ++y) {
        std::uint8_t* row = p.row(y);
        const double fy = static_cast<double>(y) / h;
        for (int x = 0; x < w; ++x) {
            const double fx = static_cast<double>(x) / w;
            const double sky = 0.5 + 0.5 * std::sin(6.0 * fx + 2.0 * fy);
            const double dx = fx - 0.6, dy = fy - 0.55;
            const double sun = std::exp(-(dx * dx + dy * dy) * 18.0);
            const double r = 40 + 150 * fy + 60 * sun + 20 * sky;
            const double g = 60 + 120 * sky * (1 - fy) + 50 * sun;
            const double b = 200 - 140 * fy + 30 * sky;
            const auto channel = [&noise](double v) {
                return static_cast<std::uint8_t>(std::clamp(static_cast<int>(v) + noise(), 0, 255));
            };
            row[3 * x] = channel(b);
            row[3 * x + 1] = channel(g);
            row[3 * x + 2] = channel(r);
        }
    }
    return p;
}

double best(int rounds, const std::function<void()>& work)
{
    double fastest = 1e300;
    for (int r = 0; r < rounds; ++r) {
        const auto start = std::chrono::steady_clock::now();
        work();
        fastest = std::min(fastest, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    return fastest;
}

void writePpm(const Picture& p, const std::string& path)
{
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) {
        std::perror(path.c_str());
        std::exit(1);
    }
    std::fprintf(f, "P6\n%d %d\n255\n", p.width, p.height);
    std::vector<std::uint8_t> row(static_cast<std::size_t>(p.width) * 3);
    for (int y = 0; y < p.height; ++y) {
        const std::uint8_t* src = p.row(y);
        for (int x = 0; x < p.width; ++x) {
            row[3 * x] = src[3 * x + 2];
            row[3 * x + 1] = src[3 * x + 1];
            row[3 * x + 2] = src[3 * x];
        }
        std::fwrite(row.data(), 1, row.size(), f);
    }
    std::fclose(f);
}

#ifdef VEXTRAL_HAVE_GIFLIB
int collect(GifFileType* gif, const GifByteType* bytes, int n)
{
    auto* out = static_cast<std::vector<std::uint8_t>*>(gif->UserData);
    out->insert(out->end(), bytes, bytes + n);
    return n;
}

// giflib's encoder over the same indices, into memory.
std::size_t giflibEncode(const std::vector<std::uint8_t>& indices, int w, int h, std::vector<std::uint8_t>& out)
{
    out.clear();
    int error = 0;
    GifFileType* gif = EGifOpen(&out, collect, &error);
    std::vector<GifColorType> colours(256);
    ColorMapObject* map = GifMakeMapObject(256, colours.data());
    EGifPutScreenDesc(gif, w, h, 8, 0, map);
    EGifPutImageDesc(gif, 0, 0, w, h, false, nullptr);
    std::vector<GifPixelType> line(static_cast<std::size_t>(w));
    for (int y = 0; y < h; ++y) {
        std::copy_n(indices.data() + static_cast<std::size_t>(y) * w, w, line.data());
        if (EGifPutLine(gif, line.data(), w) != GIF_OK) {
            std::fprintf(stderr, "EGifPutLine failed\n");
            std::exit(1);
        }
    }
    EGifCloseFile(gif, &error);
    GifFreeMapObject(map);
    return out.size();
}
#endif

} // namespace

int main(int argc, char** argv)
{
    int rounds = 3, width = 4000, height = 3000;
    std::string ppm, gifPath;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--rounds" && i + 1 < argc)
            rounds = std::max(1, std::atoi(argv[++i]));
        else if (a == "--width" && i + 1 < argc)
            width = std::max(1, std::atoi(argv[++i]));
        else if (a == "--height" && i + 1 < argc)
            height = std::max(1, std::atoi(argv[++i]));
        else if (a == "--ppm" && i + 1 < argc)
            ppm = argv[++i];
        else if (a == "--gif" && i + 1 < argc)
            gifPath = argv[++i];
        else {
            std::fprintf(stderr, "usage: bench_gif [--rounds N] [--width W --height H] [--ppm FILE] [--gif FILE]\n");
            return 2;
        }
    }
    ImageBuffer buffer;
    buffer.picture() = photograph(width, height);
    const double megapixels = static_cast<double>(width) * height / 1e6;
    if (!ppm.empty()) writePpm(buffer.picture(), ppm);

    const bool keep = !gifPath.empty();
    if (!keep)
        gifPath =
            (std::filesystem::temp_directory_path() / ("bench_gif-" + std::to_string(getpid()) + ".gif")).string();
    const double write = best(rounds, [&] { writeGif(buffer, gifPath); });
    const auto size = std::filesystem::file_size(gifPath);
    if (!keep) std::filesystem::remove(gifPath);
    std::printf("picture: %d x %d (%.1f MP)\n", width, height, megapixels);
    std::printf("gif writer (quantise + map + encode + file): %.3f s, %ju bytes\n", write,
                static_cast<std::uintmax_t>(size));

    // The encoder alone, on the writer's own indices.
    const Quantizer q(buffer.picture(), 256);
    std::vector<std::uint8_t> indices(static_cast<std::size_t>(width) * height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x)
            indices[static_cast<std::size_t>(y) * width + x] = q.index(buffer.picture().pixel(x, y));
    }
    std::vector<std::uint8_t> ours;
    const double encode = best(rounds, [&] {
        ours.clear();
        encodeGif(ours, height, width, false, indices.data(), 8);
    });
    std::printf("lzw encoder (ours): %.3f s, %.1f MB/s, %zu bytes\n", encode, megapixels / encode, ours.size());
#ifdef VEXTRAL_HAVE_GIFLIB
    std::vector<std::uint8_t> theirs;
    std::size_t theirSize = 0;
    const double giflib = best(rounds, [&] { theirSize = giflibEncode(indices, width, height, theirs); });
    std::printf("lzw encoder (giflib EGifPutLine): %.3f s, %.1f MB/s, %zu bytes\n", giflib, megapixels / giflib,
                theirSize);
    std::printf("encoder throughput ours / giflib: %.2f\n", giflib / encode);
#else
    std::printf("lzw encoder (giflib EGifPutLine): not built (no giflib)\n");
#endif
    return 0;
}
