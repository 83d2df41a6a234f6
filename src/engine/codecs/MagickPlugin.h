#pragma once

#include "core/Plugin.h"

#include <cstddef>
#include <cstdint>

// The table of libvextral-magick.so (src/plugins/magick/), the plugin that
// links ImageMagick for MagickReader.cpp. Only this header is shared: the
// engine has no Magick++ header and no link to ImageMagick. Change the
// version whenever the layout or the meaning of a field changes.

namespace vextral::codecs {

inline constexpr char kMagickPluginFile[] = "libvextral-magick.so";
inline constexpr char kMagickPluginEntry[] = "vextral_magick_plugin";
inline constexpr std::uint32_t kMagickPluginVersion = 1;
// The Debian package of the ImageMagick library the plugin is linked with.
inline constexpr char kMagickPackage[] = "libmagick++-6.q16-8";

// How one read ended.
enum class MagickOutcome : std::uint32_t {
    Done,       // the pixels were written
    Damaged,    // ImageMagick refused the file: reason is its words, or empty
    TooLarge,   // width x height is past pictureSide
    SideLimit,  // ImageMagick's side limit stopped the read
    ImageLimit, // the file holds more than images images
    CacheLimit, // the pixel cache did not fit: reason is ImageMagick's words
    NoMemory,   // no room in this process
};

// One read: the engine fills the first part, the plugin the rest.
struct MagickRead {
    // The file's bytes, from malloc: the plugin takes them over (and frees
    // them with free).
    std::uint8_t* bytes = nullptr;
    std::size_t size = 0;
    const char* magick = ""; // ImageMagick's name of the format
    bool firstFrameOnly = false;
    bool sizeChecked = false; // the caller checked the size: no ping first
    // ReaderLimits' fields for ImageMagick.
    std::uint64_t pictureSide = 0;
    std::uint64_t memoryBytes = 0;
    std::uint64_t diskBytes = 0;
    std::uint64_t images = 0;
    std::uint64_t seconds = 0;
    const char* cacheFolder = ""; // where cache files go; empty: ImageMagick's choice
    void* context = nullptr;
    // The picture's 24-bit pixels, blue, green, red, 3 * width bytes a row,
    // rows top to bottom, for the plugin to fill; null when there is no room.
    // Never throws.
    std::uint8_t* (*pixels)(void* context, std::uint32_t width, std::uint32_t height) = nullptr;
    // ImageMagick ends the read with a fatal error (timeLimit: its time
    // limit ran out); this ends the process and does not return.
    void (*fatal)(void* context, bool timeLimit, const char* reason) = nullptr;

    MagickOutcome outcome = MagickOutcome::Damaged;
    // The picture's size, once its header was read (sizeKnown).
    bool sizeKnown = false;
    std::uint64_t width = 0;
    std::uint64_t height = 0;
    char reason[512] = {};
};

struct MagickPlugin {
    PluginHeader header;
    // Starts ImageMagick, with the configure path the environment has now;
    // false, and why in message, when it cannot.
    bool (*start)(char* message, std::size_t size);
    // Whether ImageMagick has a reader for the format.
    bool (*reads)(const char* magick);
    // Reads a picture. Meant for a child process of its own: it sets the
    // process's ImageMagick resources (one thread, the time limit, the cache
    // folder) and its fatal error handler.
    void (*read)(MagickRead* read);
};

} // namespace vextral::codecs
