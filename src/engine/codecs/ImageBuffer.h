#pragma once

#include "codecs/IOParams.h"
#include "codecs/Picture.h"
#include "core/Icon.h"
#include "core/ReadResult.h"
#include "core/Sink.h"
#include "settings/ColourNames.h"

#include <functional>
#include <string>

namespace vextral::codecs {

// One picture with a background colour and the I/O parameters, through which
// every picture the program writes passes. Callers fill the picture, adjust a
// parameter or two and call a writer (or save-by-extension) with a file name
// or a sink.
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

    // Whether pictures drawn into the buffer from icons (drawIcon, and
    // exporting::drawIconPicture) keep their transparency in picture().argb,
    // for the formats that hold alpha. Off by default: every picture is drawn
    // over the background.
    void setKeepTransparency(bool keep) { keepTransparency_ = keep; }
    bool keepsTransparency() const { return keepTransparency_; }
    // Fills the picture with the background colour.
    void clear();
    // Stretches the picture to width x height, nearest source pixel (also for
    // 1-bit pictures, and for the transparent pixels). A negative side keeps the aspect ratio from the other;
    // both negative does nothing.
    void resample(int width, int height);
    // 0 mirrors left to right, 1 turns upside down, the transparent pixels too.
    void flip(int direction);
    // Turns the picture by angle degrees, counter-clockwise as seen on the
    // screen for a positive angle: whole quarter turns first, the rest (at most
    // 45 degrees either way) by three shears that grow the picture to hold all
    // of it, the uncovered parts in the background colour. No smoothing; the
    // picture is opaque afterwards. A
    // 1-bit picture becomes a 24-bit one; an empty picture stays empty.
    void rotate(int angle);
    // Makes the picture 32 x 32 and draws the icon over the background, as the
    // desktop draws it.
    void drawIcon(const Icon& icon);

    // Called by writers with the percentage done; returning false stops the
    // writer after the rows written so far, and the file ends there. Optional.
    std::function<bool(int percent)> progress;

    // Chooses the writer by the name's extension (letter case ignored) from
    // the output format table (OutputFormats.cpp). An extension no writer
    // knows throws vextral::Error "Unknown picture file extension (.EXT)" and
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
    bool keepTransparency_ = false;
};

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

// The start every writer shares: refuses an empty picture ("Cannot write an
// empty picture to %s", the sink's name) before anything is written.
void beginWrite(const ImageBuffer& buffer, const Sink& sink);

} // namespace vextral::codecs
