#include "codecs/ImageBuffer.h"

#include "codecs/GifReader.h"
#include "codecs/Writers.h"
#include "core/Error.h"
#include "core/FileName.h"

#include <cmath>

namespace vextral::codecs {

namespace {

// The 8 x 8 Bayer matrix, indexed [x mod 8][y mod 8].
constexpr std::uint8_t kBayer[8][8] = {{0, 32, 8, 40, 2, 34, 10, 42},  {48, 16, 56, 24, 50, 18, 58, 26},
                                       {12, 44, 4, 36, 14, 46, 6, 38}, {60, 28, 52, 20, 62, 30, 54, 22},
                                       {3, 35, 11, 43, 1, 33, 9, 41},  {51, 19, 59, 27, 49, 17, 57, 25},
                                       {15, 47, 7, 39, 13, 45, 5, 37}, {63, 31, 55, 23, 61, 29, 53, 21}};

} // namespace

ImageBuffer::ImageBuffer()
{
    const std::time_t now = std::time(nullptr);
    localtime_r(&now, &params_.tgaDate);
    params_.tgaDate.tm_hour = params_.tgaDate.tm_min = params_.tgaDate.tm_sec = 0;
}

void ImageBuffer::clear()
{
    picture_.argb.clear();
    if (picture_.bits == 1) {
        const bool white = luminance(backgroundBgr()) >= 128;
        std::fill(picture_.pixels.begin(), picture_.pixels.end(), white ? 0xFF : 0x00);
        return;
    }
    const Bgr c = backgroundBgr();
    for (int y = 0; y < picture_.height; ++y) {
        for (int x = 0; x < picture_.width; ++x) picture_.setPixel(x, y, c);
    }
}

void ImageBuffer::resample(int width, int height)
{
    if (width < 0 && height < 0) return;
    const Picture& old = picture_;
    // A negative side follows the other in the old picture's proportions.
    long long w = width, h = height;
    if (w < 0) w = old.height > 0 ? h * old.width / old.height : 0;
    if (h < 0) h = old.width > 0 ? w * old.height / old.width : 0;
    checkPictureSize(w, h);
    width = static_cast<int>(w);
    height = static_cast<int>(h);
    Picture out = Picture::make(width, height, old.bits);
    if (!old.empty() && !out.empty()) {
        std::vector<int> sx(static_cast<std::size_t>(out.width));
        for (int x = 0; x < out.width; ++x)
            sx[static_cast<std::size_t>(x)] = static_cast<int>(static_cast<long long>(x) * old.width / out.width);
        for (int y = 0; y < out.height; ++y) {
            const int from = static_cast<int>(static_cast<long long>(y) * old.height / out.height);
            if (old.bits == 1) {
                for (int x = 0; x < out.width; ++x) out.setBit(x, y, old.bit(sx[static_cast<std::size_t>(x)], from));
            } else {
                const std::uint8_t* src = old.row(from);
                std::uint8_t* dst = out.row(y);
                for (int x = 0; x < out.width; ++x) {
                    const std::uint8_t* p = src + 3 * static_cast<std::size_t>(sx[static_cast<std::size_t>(x)]);
                    dst[3 * x] = p[0];
                    dst[3 * x + 1] = p[1];
                    dst[3 * x + 2] = p[2];
                }
            }
            if (old.keepsTransparency()) {
                if (out.argb.empty()) out.argb.resize(static_cast<std::size_t>(out.width) * out.height);
                const std::uint32_t* src = old.argb.data() + static_cast<std::size_t>(from) * old.width;
                std::uint32_t* dst = out.argb.data() + static_cast<std::size_t>(y) * out.width;
                for (int x = 0; x < out.width; ++x) dst[x] = src[sx[static_cast<std::size_t>(x)]];
            }
        }
    }
    picture_ = std::move(out);
}

void ImageBuffer::flip(int direction)
{
    Picture out = Picture::make(picture_.width, picture_.height, picture_.bits);
    for (int y = 0; y < picture_.height; ++y) {
        const int from = direction == 1 ? picture_.height - 1 - y : y;
        for (int x = 0; x < picture_.width; ++x) {
            const int fx = direction == 1 ? x : picture_.width - 1 - x;
            if (picture_.bits == 1) {
                out.setBit(x, y, picture_.bit(fx, from));
            } else {
                out.setPixel(x, y, picture_.pixel(fx, from));
            }
        }
    }
    if (picture_.keepsTransparency()) {
        out.argb.resize(picture_.argb.size());
        for (int y = 0; y < picture_.height; ++y) {
            const int from = direction == 1 ? picture_.height - 1 - y : y;
            for (int x = 0; x < picture_.width; ++x) {
                const int fx = direction == 1 ? x : picture_.width - 1 - x;
                out.argb[picture_.at(x, y)] = picture_.argb[picture_.at(fx, from)];
            }
        }
    }
    picture_ = std::move(out);
}

void ImageBuffer::drawIcon(const Icon& icon)
{
    picture_ = Picture::make(Icon::kSize, Icon::kSize, 24);
    const std::uint32_t bg = settings::colourToRgb(background_);
    for (int y = 0; y < Icon::kSize; ++y) {
        for (int x = 0; x < Icon::kSize; ++x) picture_.setPixel(x, y, Bgr::fromRgb(icon.drawnOver(x, y, bg)));
    }
    if (keepTransparency_) picture_.argb = icon.transparent(bg);
}

ReadStatus ImageBuffer::loadFromFile(const std::string& fileName)
{
    if (lowerExtension(fileName) != ".gif") return readFailure(unknownExtensionMessage(fileName));
    return readGifFile(*this, fileName);
}

Picture to24Bit(const Picture& picture)
{
    if (picture.bits != 1) return picture;
    Picture out = Picture::make(picture.width, picture.height, 24);
    for (int y = 0; y < picture.height; ++y) {
        for (int x = 0; x < picture.width; ++x) out.setPixel(x, y, picture.pixel(x, y));
    }
    return out;
}

int luminance(Bgr c)
{
    const int sum = 21 * c.r + 71 * c.g + 7 * c.b;
    int q = sum / 100;
    const int rest = sum % 100;
    if (rest > 50 || (rest == 50 && (q & 1))) ++q;
    return q;
}

TwoColourPicture reduceToTwoColours(const Picture& picture)
{
    TwoColourPicture out;
    out.colour0 = {0, 0, 0};
    out.colour1 = {255, 255, 255};
    if (picture.bits == 1) {
        out.picture = picture;
        return out;
    }
    out.picture = Picture::make(picture.width, picture.height, 1);
    // Distinct colours, stopping at the third.
    Bgr seen[2];
    int distinct = 0;
    for (int y = 0; y < picture.height && distinct < 3; ++y) {
        for (int x = 0; x < picture.width && distinct < 3; ++x) {
            const Bgr c = picture.pixel(x, y);
            if (distinct >= 1 && c == seen[0]) continue;
            if (distinct >= 2 && c == seen[1]) continue;
            if (distinct < 2) seen[distinct] = c;
            ++distinct;
        }
    }
    if (distinct == 2) {
        const bool invert = luminance(seen[1]) < luminance(seen[0]);
        for (int y = 0; y < picture.height; ++y) {
            for (int x = 0; x < picture.width; ++x)
                out.picture.setBit(x, y, (picture.pixel(x, y) == seen[1]) != invert);
        }
        out.colour0 = invert ? seen[1] : seen[0];
        out.colour1 = invert ? seen[0] : seen[1];
        return out;
    }
    for (int y = 0; y < picture.height; ++y) {
        for (int x = 0; x < picture.width; ++x) {
            const Bgr c = picture.pixel(x, y);
            const int level = (21 * c.r + 71 * c.g + 7 * c.b) / 400;
            out.picture.setBit(x, y, kBayer[x % 8][y % 8] < level);
        }
    }
    return out;
}

void beginWrite(const ImageBuffer& buffer, const Sink& sink)
{
    if (buffer.picture().empty()) throw Error("Cannot write an empty picture to " + sink.name());
}

void writeToFile(PictureWriter writer, ImageBuffer& buffer, const std::string& fileName)
{
    FileSink sink(fileName);
    writer(buffer, sink);
    sink.commit();
}

} // namespace vextral::codecs
