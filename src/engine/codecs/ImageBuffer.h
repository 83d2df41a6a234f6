#pragma once

#include "codecs/IOParams.h"
#include "codecs/Picture.h"
#include "core/Icon.h"
#include "core/ReadResult.h"
#include "core/ReplacingFile.h"
#include "settings/ColourNames.h"

#include <array>
#include <cstdio>
#include <functional>
#include <string>

namespace vextral::codecs {

// One picture with a background colour and the I/O parameters, through which
// every picture the program writes passes. Callers fill the picture, adjust a
// parameter or two and call a writer (or save-by-extension) with a file name.
class ImageBuffer {
public:
    ImageBuffer();

    Picture& picture() { return picture_; }
    const Picture& picture() const { return picture_; }
    IOParams& params() { return params_; }
    const IOParams& params() const { return params_; }

    void setBackground(settings::Colour colour) { background_ = colour; }
    settings::Colour background() const { return background_; }
    Bgr backgroundBgr() const { return Bgr::fromRgb(settings::colourToRgb(background_)); }

    // Fills the picture with the background colour.
    void clear();
    // Stretches the picture to width x height, nearest source pixel (also for
    // 1-bit pictures). A negative side keeps the aspect ratio from the other;
    // both negative does nothing.
    void resample(int width, int height);
    // 0 mirrors left to right, 1 turns upside down.
    void flip(int direction);
    // Turns the picture by angle degrees, counter-clockwise as seen on the
    // screen for a positive angle: whole quarter turns first, the rest (at most
    // 45 degrees either way) by three shears that grow the picture to hold all
    // of it, the uncovered parts in the background colour. No smoothing. A
    // 1-bit picture becomes a 24-bit one; an empty picture stays empty.
    void rotate(int angle);
    // Makes the picture 32 x 32 and draws the icon over the background, as the
    // desktop draws it.
    void drawIcon(const Icon& icon);

    // Writers and readers clear this when they start and set it when they give up.
    bool aborting = false;
    // Called by writers with the percentage done; returning false aborts. Optional.
    std::function<bool(int percent)> progress;

    // Chooses the writer by the name's extension (letter case ignored) from
    // the output format table. An extension no writer knows sets aborting and
    // creates no file.
    void saveToFile(const std::string& fileName);
    // Chooses the reader by the extension: GIF files (codecs/GifReader.h),
    // which also set the background to the transparent (or background)
    // colour. Any other extension fails with "Unknown picture file extension
    // (.EXT)"; a failed read changes nothing.
    ReadStatus loadFromFile(const std::string& fileName);

private:
    Picture picture_;
    IOParams params_;
    settings::Colour background_ = settings::kWhite;
};

struct FormatRow {
    int id;
    const char* description;
    const char* extensions;
};
// The format registry: 11 rows (TIFF, GIF, JPEG, PCX, BMP, ICO, CUR, PNG, WMF, EMF, TGA).
const std::array<FormatRow, 11>& formatRegistry();
// The registry id whose extension list holds ext (without dot, any case); 0 when none.
int formatIdForExtension(const std::string& ext);

// The picture as 24 bits a pixel (1-bit pictures become black and white).
Picture to24Bit(const Picture& picture);

// The two-colour reduction: a picture of exactly two colours keeps them, the
// darker as colour 0; any other is dithered with the 8 x 8 Bayer matrix into
// black and white. A 1-bit picture stays as it is, black and white.
struct TwoColourPicture {
    Picture picture; // 1-bit
    Bgr colour0, colour1;
};
TwoColourPicture reduceToTwoColours(const Picture& picture);

// Luminance (21 red + 71 green + 7 blue) / 100, rounded halves to even.
int luminance(Bgr c);

// The file a writer produces. It is written under a temporary name beside
// the target and takes the target's name at close(), replacing an existing
// file (or a symbolic link) only then; a writer that fails or throws before
// close() leaves the target as it was and no temporary file behind. Failures
// throw vextral::Error: "Cannot create file %s: <reason>" when the file
// cannot be made or named, "Cannot write to file %s: <reason>" when writing fails.
class FileSink {
public:
    explicit FileSink(const std::string& path);
    FileSink(const FileSink&) = delete;
    FileSink& operator=(const FileSink&) = delete;

    void write(const void* data, std::size_t n);
    void write(const std::vector<std::uint8_t>& bytes) { write(bytes.data(), bytes.size()); }
    void u8(std::uint8_t v) { write(&v, 1); }
    void le16(std::uint16_t v);
    void le32(std::uint32_t v);
    std::uint64_t position();
    void seek(std::uint64_t position);
    // For writers whose library wrote through handle() and failed: raises
    // "Cannot write to file %s: <reason>" (error is the errno seen, 0 if none).
    [[noreturn]] void writeFailed(int error) const;
    // Completes the file: after this the target holds it.
    void close();
    FILE* handle() const { return file_.stream(); }
    const std::string& path() const { return file_.target(); }

private:
    [[noreturn]] void fail(const char* what, int error) const;
    ReplacingFile file_;
};

// The start every writer shares: clears aborting and refuses an empty picture
// ("Cannot write an empty picture to %s"), creating no file.
void beginWrite(ImageBuffer& buffer, const std::string& fileName);

} // namespace vextral::codecs
