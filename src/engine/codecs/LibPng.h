#pragma once

#include <png.h>

#include <cstddef>
#include <cstdint>
#include <span>

// libpng's error discipline in one place. libpng reports an error by calling
// the error callback, which must not return: ours keeps the message and
// longjmps back to the jump point that run() set. So every libpng call that
// can fail is made inside run(step), which returns false (message() tells
// libpng's reason) instead of coming back through the caller's frames.
// Nothing with a destructor may be created inside a step: the longjmp skips
// it. Warnings (a chunk dropped as too large, say) do not stop the step; the
// last one is kept.
//
//     PngSession session(PngSession::Kind::Read);
//     if (!session) ...out of memory...
//     session.readFrom(bytes);
//     if (!session.run([&] { png_read_info(session.png(), session.info()); })) fail(session.message());
//
// Writers make a PngSession(PngSession::Kind::Write), set their output with
// png_set_write_fn (or png_init_io) inside a step, and write the same way.

namespace vextral::codecs {

// The bytes a PNG's inflated image data holds: every row of every pass (the
// seven of an interlaced picture) as the file stores it, bitsPerPixel a
// pixel, with its filter byte.
std::uint64_t pngRawBytes(std::uint32_t width, std::uint32_t height, int bitsPerPixel, bool interlaced);
// Whether compressed bytes of a PNG file can hold that much: deflate turns
// one byte into at most 1032 (RFC 1951's longest match per shortest code),
// with room for the chunks around the data.
bool pngDataCanHold(std::uint64_t rawBytes, std::size_t fileBytes);

class PngSession {
public:
    enum class Kind { Read, Write };

    explicit PngSession(Kind kind);
    ~PngSession();
    PngSession(const PngSession&) = delete;
    PngSession& operator=(const PngSession&) = delete;

    // False when libpng could not make its structures.
    explicit operator bool() const { return png_ && info_; }
    png_structp png() const { return png_; }
    png_infop info() const { return info_; }
    // libpng's reason for the last failed step ("Not a PNG file"); empty before one.
    const char* message() const { return message_; }
    // libpng's last warning ("tEXt: chunk data is too large"); empty when none.
    const char* warning() const { return warning_; }

    // Runs step with the jump point set; false when libpng failed in it.
    template <typename Step>
    bool run(Step&& step)
    {
        if (setjmp(png_jmpbuf(png_))) return false;
        step();
        return true;
    }

    // Reads the stream from bytes in memory (which must outlive the session);
    // reading past their end is the error "Read Error", as libpng's own file
    // reader says.
    void readFrom(std::span<const std::uint8_t> bytes);
    // Bytes of the memory stream read so far.
    std::size_t bytesRead() const { return at_; }

private:
    static void onError(png_structp png, png_const_charp message);
    static void onWarning(png_structp png, png_const_charp message);
    static void readBytes(png_structp png, png_bytep out, png_size_t n);

    Kind kind_;
    png_structp png_ = nullptr;
    png_infop info_ = nullptr;
    std::span<const std::uint8_t> bytes_;
    std::size_t at_ = 0;
    char message_[160] = {};
    char warning_[160] = {};
};

} // namespace vextral::codecs
