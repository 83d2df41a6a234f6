#include "thumbnailer/Thumbnailer.h"

#include "core/ReplacingFile.h"
#include "export/BestImage.h"

#include <png.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <exception>
#include <new>

namespace vextral::thumbnailer {

namespace {

std::optional<int> parseSize(const std::string& text)
{
    if (text.empty() || text.size() > 5) return std::nullopt;
    int value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + (c - '0');
    }
    if (value < 1 || value > kMaxThumbnailSize) return std::nullopt;
    return value;
}

[[noreturn]] void pngFail(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void pngWarn(png_structp, png_const_charp) {}
void pngAppend(png_structp png, png_bytep data, png_size_t n)
{
    auto* bytes = static_cast<std::vector<std::uint8_t>*>(png_get_io_ptr(png));
    bytes->insert(bytes->end(), data, data + n);
}
void pngFlush(png_structp) {}

// The libpng part; nothing that needs a destructor lives across setjmp.
bool encodeRows(const std::vector<png_bytep>& rows, int width, int height, std::vector<std::uint8_t>& out)
{
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, pngFail, pngWarn);
    if (!png) return false;
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_set_write_fn(png, &out, pngAppend, pngFlush);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                 PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    png_write_image(png, const_cast<png_bytepp>(rows.data()));
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return true;
}

extern "C" void onTimeLimit(int)
{
    static const char message[] = "vextral-thumbnailer: time limit reached\n";
    [[maybe_unused]] const ssize_t n = ::write(2, message, sizeof message - 1);
    ::_exit(3);
}

} // namespace

std::optional<Arguments> parseArguments(const std::vector<std::string>& args, std::string& error)
{
    Arguments result;
    std::vector<std::string> names;
    std::optional<std::string> sizeText;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "-s" || a == "--size") {
            if (i + 1 == args.size()) {
                error = "option " + a + " needs a size";
                return std::nullopt;
            }
            sizeText = args[++i];
        } else if (a.rfind("--size=", 0) == 0) {
            sizeText = a.substr(7);
        } else if (a.size() > 2 && a.rfind("-s", 0) == 0) {
            sizeText = a.substr(2);
        } else if (a.size() > 1 && a[0] == '-') {
            error = "unknown option " + a;
            return std::nullopt;
        } else {
            names.push_back(a);
        }
    }
    if (!sizeText) {
        error = "no size given (-s SIZE)";
        return std::nullopt;
    }
    const std::optional<int> size = parseSize(*sizeText);
    if (!size) {
        error = "'" + *sizeText + "' is not a size from 1 to " + std::to_string(kMaxThumbnailSize);
        return std::nullopt;
    }
    if (names.size() != 2) {
        error = "expected INPUT and OUTPUT";
        return std::nullopt;
    }
    result.size = *size;
    result.input = names[0];
    result.output = names[1];
    return result;
}

std::optional<Rgba> renderThumbnail(const std::string& input, int size)
{
    const std::optional<codecs::IconPicture> picture = exporting::renderBestImage(input, 0, size, size);
    if (!picture || picture->width <= 0 || picture->height <= 0) return std::nullopt;
    return Rgba {picture->width, picture->height, picture->argb()};
}

std::vector<std::uint8_t> encodePng(const Rgba& picture)
{
    // libpng takes bytes in the order R, G, B, A.
    std::vector<std::uint8_t> bytes(picture.pixels.size() * 4);
    for (std::size_t i = 0; i < picture.pixels.size(); ++i) {
        const std::uint32_t p = picture.pixels[i];
        bytes[i * 4] = static_cast<std::uint8_t>(p >> 16);
        bytes[i * 4 + 1] = static_cast<std::uint8_t>(p >> 8);
        bytes[i * 4 + 2] = static_cast<std::uint8_t>(p);
        bytes[i * 4 + 3] = static_cast<std::uint8_t>(p >> 24);
    }
    std::vector<png_bytep> rows(static_cast<std::size_t>(picture.height));
    for (int y = 0; y < picture.height; ++y) {
        rows[static_cast<std::size_t>(y)] = bytes.data() + static_cast<std::size_t>(y) * picture.width * 4;
    }
    std::vector<std::uint8_t> out;
    if (picture.width <= 0 || picture.height <= 0 || !encodeRows(rows, picture.width, picture.height, out)) return {};
    return out;
}

bool applyLimits()
{
    bool ok = true;
    const rlimit memory {kMemoryLimit, kMemoryLimit};
    if (kMemoryLimited) ok = ::setrlimit(RLIMIT_AS, &memory) == 0 && ok;
    // The soft limit raises SIGXCPU, which ends the process quietly; the
    // hard one a second later is the kernel's SIGKILL should that not work.
    const rlimit cpu {kTimeLimitSeconds, kTimeLimitSeconds + 1};
    ok = ::setrlimit(RLIMIT_CPU, &cpu) == 0 && ok;
    struct sigaction action {};
    action.sa_handler = onTimeLimit;
    ok = ::sigaction(SIGXCPU, &action, nullptr) == 0 && ok;
    ok = ::sigaction(SIGALRM, &action, nullptr) == 0 && ok;
    // Reading a file can block where computing cannot: real time is capped too.
    itimerval wall {};
    wall.it_value.tv_sec = kTimeLimitSeconds;
    ok = ::setitimer(ITIMER_REAL, &wall, nullptr) == 0 && ok;
    return ok;
}

int run(const std::vector<std::string>& args, std::string& err)
{
    std::string error;
    const std::optional<Arguments> parsed = parseArguments(args, error);
    if (!parsed) {
        err = error + "\nUsage: vextral-thumbnailer -s SIZE INPUT OUTPUT\n";
        return 2;
    }
    try {
        const std::optional<Rgba> picture = renderThumbnail(parsed->input, parsed->size);
        if (!picture) {
            err = parsed->input + ": no icon to show\n";
            return 1;
        }
        const std::vector<std::uint8_t> png = encodePng(*picture);
        if (png.empty()) {
            err = parsed->input + ": the picture cannot be encoded\n";
            return 1;
        }
        // The picture is complete in memory; the file appears whole or not at all.
        ReplacingFile file(parsed->output);
        int failure = file.open();
        if (failure == 0 && std::fwrite(png.data(), 1, png.size(), file.stream()) != png.size()) failure = errno;
        if (failure == 0) failure = file.commit();
        if (failure != 0) {
            err = "cannot write " + parsed->output + ": " + std::strerror(failure) + "\n";
            return 1;
        }
        return 0;
    } catch (const std::bad_alloc&) {
        err = parsed->input + ": out of memory\n";
    } catch (const std::exception& e) {
        err = parsed->input + ": " + e.what() + "\n";
    }
    return 1;
}

} // namespace vextral::thumbnailer
