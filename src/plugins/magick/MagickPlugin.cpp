// libvextral-magick.so: ImageMagick behind the table of codecs/MagickPlugin.h.
// The engine (codecs/MagickReader.cpp) loads it the first time a picture
// needs ImageMagick, starts it with the program's own policy, and runs each
// read in a child process of its own; the code here is what that child does
// with ImageMagick. ImageMagick is always told the format and given the
// file's bytes (never the name, whose characters it would interpret), so it
// neither guesses from the content nor runs a delegate program.
//
// Nothing thrown here leaves the plugin: every function of the table catches
// all and answers with an outcome, which the engine words as the reader's
// errors.

#include "codecs/MagickPlugin.h"
#include "codecs/Readers.h" // drawRowOverWhite
#include "core/ReaderLimits.h"

#include <Magick++.h>

#include <sys/types.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <new>
#include <string>
#include <vector>

namespace {

using vextral::kMagickPixelBytes;
using vextral::codecs::MagickOutcome;
using vextral::codecs::MagickPlugin;
using vextral::codecs::MagickRead;

static_assert(sizeof(MagickCore::PixelPacket) + sizeof(MagickCore::IndexPacket) <= kMagickPixelBytes,
              "ReaderLimits::magickDiskBytes counts kMagickPixelBytes a pixel");

// Rows exported at a time for pictures with alpha.
constexpr std::size_t kStripRows = 64;
// Metafiles are drawn at the size they have on a screen of 96 dots per inch.
constexpr double kScreenDpi = 96;
// The side limit while only the header is read: no cap of its own.
constexpr std::uint64_t kNoCap = std::uint64_t {1} << 60;

// A read that stops: how, and ImageMagick's reason where it gives one.
struct Stop {
    MagickOutcome outcome;
    std::string reason;
};

void copyText(const std::string& text, char* out, std::size_t size)
{
    if (size == 0) return;
    const std::size_t length = std::min(text.size(), size - 1);
    std::memcpy(out, text.data(), length);
    out[length] = '\0';
}

// ImageMagick's resource limits are the process's: they are set from the
// read's limits before each step. While the header is read (a ping, which
// decodes no pixel) the sides are not bounded, so that the engine's own size
// check gives its text; the pixels are read with sides of pictureSide at
// most.
void applyLimits(const MagickRead& read, bool ping)
{
    using Limits = Magick::ResourceLimits;
    const auto side = static_cast<MagickCore::MagickSizeType>(read.pictureSide);
    Limits::width(ping ? kNoCap : side);
    Limits::height(ping ? kNoCap : side);
    Limits::area(side * side);
    Limits::memory(read.memoryBytes);
    Limits::map(read.diskBytes);
    Limits::disk(read.diskBytes);
    Limits::listLength(read.images);
}

// ImageMagick's reason without the program name before it and the file name
// and source position after it: "improper image header".
std::string reasonOf(const Magick::Exception& e)
{
    std::string text = e.what();
    if (const std::size_t colon = text.find(": "); colon != std::string::npos) text.erase(0, colon + 2);
    for (const char* tail : {" `", " @ "}) {
        if (const std::size_t at = text.find(tail); at != std::string::npos) text.erase(at);
    }
    return text;
}

// An error of ImageMagick's resource limits: a side or the count of images
// past the read's limits is a picture too large; anything else is the cache
// that did not fit.
[[noreturn]] void resourceError(const std::string& reason)
{
    if (reason.find("width or height exceeds limit") != std::string::npos) throw Stop {MagickOutcome::SideLimit, ""};
    if (reason.find("list length exceeds limit") != std::string::npos) throw Stop {MagickOutcome::ImageLimit, ""};
    throw Stop {MagickOutcome::CacheLimit, reason};
}

// Runs one ImageMagick step. A warning leaves the step done (a file with an
// odd tag is still a picture), unless it says that the data is corrupt or
// cut short; every error is a damaged file, but for the resource limits.
template <typename Step>
void step(Step&& run)
{
    try {
        run();
    } catch (const Magick::WarningCorruptImage& e) {
        throw Stop {MagickOutcome::Damaged, reasonOf(e)};
    } catch (const Magick::Warning&) {
    } catch (const Magick::ErrorResourceLimit& e) {
        resourceError(reasonOf(e));
    } catch (const Magick::ErrorCache& e) {
        resourceError(reasonOf(e));
    } catch (const Magick::Exception& e) {
        const std::string reason = reasonOf(e);
        if (reason.find("exceeds limit") != std::string::npos) resourceError(reason);
        throw Stop {MagickOutcome::Damaged, reason};
    }
}

void checkSize(MagickRead& read, std::uint64_t width, std::uint64_t height)
{
    if (width <= read.pictureSide && height <= read.pictureSide) return;
    read.width = width;
    read.height = height;
    throw Stop {MagickOutcome::TooLarge, ""};
}

bool keepsColourValues(MagickCore::ColorspaceType space)
{
    return space == MagickCore::sRGBColorspace || space == MagickCore::GRAYColorspace;
}

void readPixels(MagickRead& read)
{
    applyLimits(read, !read.sizeChecked);
    Magick::Blob blob;
    blob.updateNoCopy(read.bytes, read.size, Magick::Blob::MallocAllocator);
    read.bytes = nullptr;

    Magick::Image image;
    step([&] {
        image.quiet(false);
        image.magick(read.magick);
        if (std::strcmp(read.magick, "WMF") == 0 || std::strcmp(read.magick, "EMF") == 0) {
            image.density(Magick::Geometry(kScreenDpi, kScreenDpi));
        }
        if (read.firstFrameOnly) {
            image.subImage(0);
            image.subRange(1);
        }
    });
    // The size is checked before any pixel is decoded.
    if (!read.sizeChecked) {
        step([&] { image.ping(blob); });
        checkSize(read, image.columns(), image.rows());
        read.sizeKnown = true;
        read.width = image.columns();
        read.height = image.rows();
        applyLimits(read, false);
    }
    step([&] {
        image.magick(read.magick);
        image.read(blob);
    });
    blob = Magick::Blob();
    const auto width = static_cast<std::size_t>(image.columns());
    const auto height = static_cast<std::size_t>(image.rows());
    if (width == 0 || height == 0) throw Stop {MagickOutcome::Damaged, "no picture in the file"};
    checkSize(read, width, height);

    // CMYK, Photo CD's YCC, Lab, linear RGB and the like become sRGB values.
    if (!keepsColourValues(image.colorSpace())) step([&] { image.colorSpace(MagickCore::sRGBColorspace); });
    std::uint8_t* pixels =
        read.pixels(read.context, static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height));
    if (!pixels) throw Stop {MagickOutcome::NoMemory, ""};
    if (!image.matte()) {
        step([&] { image.write(0, 0, width, height, "BGR", Magick::CharPixel, pixels); });
        return;
    }
    std::vector<std::uint8_t> strip(width * 4 * std::min(kStripRows, height));
    for (std::size_t top = 0; top < height; top += kStripRows) {
        const std::size_t rows = std::min(kStripRows, height - top);
        step([&] { image.write(0, static_cast<ssize_t>(top), width, rows, "BGRA", Magick::CharPixel, strip.data()); });
        for (std::size_t y = 0; y < rows; ++y) {
            vextral::codecs::drawRowOverWhite(strip.data() + width * 4 * y, width, pixels + width * 3 * (top + y));
        }
    }
}

// The read under way, for ImageMagick's fatal error handler.
MagickRead* current = nullptr;

// ImageMagick ends the process after a fatal error (its time limit is one):
// the engine reports it and ends the child.
void fatal(MagickCore::ExceptionType, const char* reason, const char* description)
{
    const std::string text = std::string(reason ? reason : "") + (description ? std::string(" ") + description : "");
    current->fatal(current->context, text.find("time limit") != std::string::npos, reason ? reason : "");
}

void read(MagickRead* read)
{
    try {
        current = read;
        MagickCore::SetFatalErrorHandler(fatal);
        // One thread: the parent's OpenMP threads are not in this process.
        MagickCore::SetMagickResourceLimit(MagickCore::ThreadResource, 1);
        MagickCore::SetMagickResourceLimit(MagickCore::TimeResource,
                                           static_cast<MagickCore::MagickSizeType>(read->seconds));
        // Cache files in the folder of this read alone.
        if (read->cacheFolder && *read->cacheFolder) {
            MagickCore::ExceptionInfo* exception = MagickCore::AcquireExceptionInfo();
            MagickCore::SetImageRegistry(MagickCore::StringRegistryType, "temporary-path", read->cacheFolder,
                                         exception);
            MagickCore::DestroyExceptionInfo(exception);
        }
        readPixels(*read);
        read->outcome = MagickOutcome::Done;
    } catch (const Stop& stop) {
        read->outcome = stop.outcome;
        copyText(stop.reason, read->reason, sizeof read->reason);
    } catch (const std::bad_alloc&) {
        read->outcome = MagickOutcome::NoMemory;
    } catch (const std::exception& e) {
        read->outcome = MagickOutcome::Damaged;
        copyText(e.what(), read->reason, sizeof read->reason);
    } catch (...) {
        read->outcome = MagickOutcome::Damaged;
    }
    std::free(read->bytes);
    read->bytes = nullptr;
}

bool start(char* message, std::size_t size)
{
    try {
        Magick::InitializeMagick(nullptr);
        return true;
    } catch (const std::exception& e) {
        copyText(e.what(), message, size);
    } catch (...) {
        copyText("ImageMagick did not start", message, size);
    }
    return false;
}

bool reads(const char* magick)
{
    try {
        return Magick::CoderInfo(magick).isReadable();
    } catch (...) {
        return false;
    }
}

constexpr MagickPlugin kTable {
    {vextral::codecs::kMagickPluginVersion, sizeof(MagickPlugin)},
    start,
    reads,
    read,
};

} // namespace

extern "C" __attribute__((visibility("default"))) const MagickPlugin* vextral_magick_plugin() { return &kTable; }
