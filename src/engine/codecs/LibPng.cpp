#include "codecs/LibPng.h"

#include <cstdio>
#include <cstring>

namespace vextral::codecs {

std::uint64_t pngRawBytes(std::uint32_t width, std::uint32_t height, int bitsPerPixel, bool interlaced)
{
    const auto rowBytes = [bitsPerPixel](std::uint64_t columns) {
        return (columns * static_cast<std::uint64_t>(bitsPerPixel) + 7) / 8 + 1;
    };
    if (!interlaced) return std::uint64_t {height} * rowBytes(width);
    std::uint64_t total = 0;
    for (int pass = 0; pass < 7; ++pass) {
        const std::uint64_t columns = PNG_PASS_COLS(width, pass), rows = PNG_PASS_ROWS(height, pass);
        if (columns != 0) total += rows * rowBytes(columns);
    }
    return total;
}

bool pngDataCanHold(std::uint64_t rawBytes, std::size_t fileBytes)
{
    constexpr std::uint64_t kMaxInflation = 1032;
    constexpr std::uint64_t kSlackBytes = 4096;
    return rawBytes / kMaxInflation <= fileBytes + kSlackBytes;
}

PngSession::PngSession(Kind kind) : kind_(kind)
{
    png_ = kind == Kind::Read ? png_create_read_struct(PNG_LIBPNG_VER_STRING, this, onError, onWarning)
                              : png_create_write_struct(PNG_LIBPNG_VER_STRING, this, onError, onWarning);
    if (png_) info_ = png_create_info_struct(png_);
}

PngSession::~PngSession()
{
    if (!png_) return;
    if (kind_ == Kind::Read) {
        png_destroy_read_struct(&png_, info_ ? &info_ : nullptr, nullptr);
    } else {
        png_destroy_write_struct(&png_, info_ ? &info_ : nullptr);
    }
}

void PngSession::onError(png_structp png, png_const_charp message)
{
    auto* session = static_cast<PngSession*>(png_get_error_ptr(png));
    std::snprintf(session->message_, sizeof session->message_, "%s", message ? message : "");
    png_longjmp(png, 1);
}

void PngSession::onWarning(png_structp png, png_const_charp message)
{
    auto* session = static_cast<PngSession*>(png_get_error_ptr(png));
    std::snprintf(session->warning_, sizeof session->warning_, "%s", message ? message : "");
}

void PngSession::readFrom(std::span<const std::uint8_t> bytes)
{
    bytes_ = bytes;
    at_ = 0;
    png_set_read_fn(png_, this, readBytes);
}

void PngSession::readBytes(png_structp png, png_bytep out, png_size_t n)
{
    auto* session = static_cast<PngSession*>(png_get_io_ptr(png));
    if (n > session->bytes_.size() - session->at_) png_error(png, "Read Error");
    std::memcpy(out, session->bytes_.data() + session->at_, n);
    session->at_ += n;
}

} // namespace vextral::codecs
