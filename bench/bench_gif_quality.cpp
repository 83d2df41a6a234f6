// How close the GIF writer's 256 colours come to the picture, against
// ImageMagick's `convert in.png -colors 256 out.gif`, on real icons: every
// icon of Wine's libraries drawn from its best image at SIDE x SIDE over
// white, written by writeGif (in-process) and, for a sample, by ImageMagick
// (a process a picture). Both GIFs are read back by our GIF reader and
// compared with the 24-bit picture; the PSNR (peak 255, over the three
// channels) of each is summed up as mean, median and minimum, with the time
// per picture.
//
//   bench_gif_quality [--side N] [--sample N] [--keep DIR] [DLL ...]
//
// --sample is how many icons ImageMagick converts (spread evenly over all of
// them; 200 by default, 0 for none). --keep leaves the PNG and both GIFs of
// the sample there. Without DLLs: shell32, user32, comctl32, comdlg32,
// explorer and a few more of Wine's.
#include "codecs/GifReader.h"
#include "codecs/ImageBuffer.h"
#include "codecs/Writers.h"
#include "core/Sink.h"
#include "export/BestImage.h"
#include "platform/IconExtractor.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <unistd.h>
#include <vector>

using namespace vextral;
using namespace vextral::codecs;
namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

double seconds(Clock::time_point from) { return std::chrono::duration<double>(Clock::now() - from).count(); }

// The PSNR of a against b (same sides, 24 bits); an exact copy counts as
// 100 dB, above anything a reduction to 256 colours reaches otherwise.
double psnr(const Picture& a, const Picture& b)
{
    if (a.width != b.width || a.height != b.height || a.bits != 24 || b.bits != 24) return 0;
    double sum = 0;
    for (std::size_t i = 0; i < a.pixels.size(); ++i) {
        const double d = static_cast<double>(a.pixels[i]) - b.pixels[i];
        sum += d * d;
    }
    if (sum == 0) return 100;
    const double mse = sum / static_cast<double>(a.pixels.size());
    return 10 * std::log10(255.0 * 255.0 / mse);
}

struct Summary {
    std::vector<double> values;
    void add(double v) { values.push_back(v); }
    double mean() const
    {
        double sum = 0;
        for (double x : values) sum += x;
        return values.empty() ? 0 : sum / static_cast<double>(values.size());
    }
    void print(const char* what) const
    {
        if (values.empty()) {
            std::printf("%-34s no pictures\n", what);
            return;
        }
        std::vector<double> v = values;
        std::sort(v.begin(), v.end());
        double mean = 0;
        for (double x : v) mean += x;
        mean /= static_cast<double>(v.size());
        const double median = v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
        const auto exact = std::count(v.begin(), v.end(), 100.0);
        std::printf("%-34s %5zu pictures  mean %6.2f dB  median %6.2f dB  min %6.2f dB  (%ld exact)\n", what, v.size(),
                    mean, median, v.front(), static_cast<long>(exact));
    }
};

int colourCount(const Picture& p)
{
    std::set<std::uint32_t> colours;
    for (int y = 0; y < p.height; ++y) {
        for (int x = 0; x < p.width; ++x) colours.insert(p.pixel(x, y).rgb());
    }
    return static_cast<int>(colours.size());
}

Picture readBack(const std::vector<std::uint8_t>& gif)
{
    ImageBuffer back;
    if (!readGif(back, gif)) return {};
    return to24Bit(back.picture());
}

std::vector<std::uint8_t> fileBytes(const fs::path& file)
{
    std::vector<std::uint8_t> bytes;
    if (FILE* f = std::fopen(file.c_str(), "rb")) {
        std::uint8_t buf[65536];
        std::size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) bytes.insert(bytes.end(), buf, buf + n);
        std::fclose(f);
    }
    return bytes;
}

} // namespace

int main(int argc, char** argv)
{
    int side = 48;
    int sample = 200;
    std::string keep;
    std::vector<std::string> dlls;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--side" && i + 1 < argc) {
            side = std::atoi(argv[++i]);
        } else if (a == "--sample" && i + 1 < argc) {
            sample = std::atoi(argv[++i]);
        } else if (a == "--keep" && i + 1 < argc) {
            keep = argv[++i];
        } else {
            dlls.push_back(a);
        }
    }
    if (dlls.empty()) {
        const std::string wine = "/usr/lib/x86_64-linux-gnu/wine/x86_64-windows/";
        for (const char* name : {"shell32.dll", "user32.dll", "comctl32.dll", "comdlg32.dll", "explorer.exe",
                                 "mmsys.cpl", "shdocvw.dll", "ieframe.dll", "msi.dll", "wineboot.exe", "regedit.exe",
                                 "winecfg.exe", "winefile.exe", "notepad.exe", "wordpad.exe", "taskmgr.exe"}) {
            if (fs::exists(wine + name)) dlls.push_back(wine + name);
        }
    }

    // The pictures: every icon's best image at side x side over white.
    std::vector<Picture> pictures;
    for (const std::string& dll : dlls) {
        const platform::IconSource source = platform::IconSource::open(dll);
        for (int i = 0; i < source.count(); ++i) {
            const auto icon = exporting::renderBestImage(source, i, side, side);
            if (!icon) continue;
            ImageBuffer buffer;
            buffer.setBackground(settings::kWhite);
            exporting::drawIconPicture(buffer, *icon);
            pictures.push_back(to24Bit(buffer.picture()));
        }
    }
    std::printf("%zu icons of %zu files at %d x %d over white\n", pictures.size(), dlls.size(), side, side);
    if (pictures.empty()) return 1;

    // Ours, every picture, timed in-process (writer alone).
    Summary ours, oursMany, oursSample;
    std::vector<double> oursPsnr(pictures.size());
    double oursSeconds = 0;
    std::size_t many = 0;
    for (std::size_t i = 0; i < pictures.size(); ++i) {
        ImageBuffer buffer;
        buffer.picture() = pictures[i];
        MemorySink sink;
        const auto start = Clock::now();
        writeGif(buffer, sink);
        oursSeconds += seconds(start);
        oursPsnr[i] = psnr(readBack(sink.bytes()), pictures[i]);
        ours.add(oursPsnr[i]);
        if (colourCount(pictures[i]) > 256) {
            oursMany.add(oursPsnr[i]);
            ++many;
        }
    }
    std::printf("%zu of them have more than 256 colours\n\n", many);
    ours.print("ours, all icons");
    oursMany.print("ours, icons of > 256 colours");
    std::printf("ours: %.3f ms a picture\n\n", 1000 * oursSeconds / static_cast<double>(pictures.size()));

    if (sample <= 0) return 0;
    // ImageMagick on an even sample, one process a picture.
    char pattern[] = "/tmp/bench_gif_quality.XXXXXX";
    const char* made = keep.empty() ? mkdtemp(pattern) : keep.c_str();
    if (!made) return 1;
    const fs::path dir = made;
    fs::create_directories(dir);
    Summary magick, oursOfSample, magickMany, oursOfSampleMany;
    double magickSeconds = 0;
    const std::size_t n = std::min(pictures.size(), static_cast<std::size_t>(sample));
    for (std::size_t k = 0; k < n; ++k) {
        const std::size_t i = k * pictures.size() / n;
        ImageBuffer buffer;
        buffer.picture() = pictures[i];
        const fs::path png = dir / (std::to_string(i) + ".png");
        const fs::path gif = dir / (std::to_string(i) + "-magick.gif");
        writePng(buffer, png.string());
        const std::string command = "/usr/bin/convert '" + png.string() + "' -colors 256 '" + gif.string() + "'";
        const auto start = Clock::now();
        if (std::system(command.c_str()) != 0) continue;
        magickSeconds += seconds(start);
        const double m = psnr(readBack(fileBytes(gif)), pictures[i]);
        magick.add(m);
        oursOfSample.add(oursPsnr[i]);
        if (colourCount(pictures[i]) > 256) {
            magickMany.add(m);
            oursOfSampleMany.add(oursPsnr[i]);
        }
        if (!keep.empty()) writeGif(buffer, (dir / (std::to_string(i) + "-ours.gif")).string());
    }
    oursOfSample.print("ours, sample");
    magick.print("ImageMagick, sample");
    oursOfSampleMany.print("ours, sample of > 256 colours");
    magickMany.print("ImageMagick, sample of > 256 colours");
    const double speedUp =
        (magickSeconds / static_cast<double>(n)) / (oursSeconds / static_cast<double>(pictures.size()));
    std::printf("ImageMagick: %.3f ms a picture (a process each); ours %.3f ms: %.0fx faster\n",
                1000 * magickSeconds / static_cast<double>(n),
                1000 * oursSeconds / static_cast<double>(pictures.size()), speedUp);
    if (keep.empty()) fs::remove_all(dir);
    // Ours within 3 dB of ImageMagick's mean on the sample, and 5 times as fast.
    const bool good = oursOfSample.mean() >= magick.mean() - 3 && speedUp >= 5;
    std::printf("mean PSNR ours - ImageMagick: %+.2f dB (need -3.00 or more), speed-up %.0fx (need 5x): %s\n",
                oursOfSample.mean() - magick.mean(), speedUp, good ? "ok" : "FAILED");
    return good ? 0 : 1;
}
