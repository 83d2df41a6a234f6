#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vextral::thumbnailer {

// The largest thumbnail asked for: the freedesktop sizes stop at 1024.
constexpr int kMaxThumbnailSize = 1024;
// What the program may use at most: address space and processor time.
constexpr std::uint64_t kMemoryLimit = 100ull * 1024 * 1024;
constexpr int kTimeLimitSeconds = 1;
// AddressSanitizer reserves terabytes of address space for its shadow, so a
// sanitizer build (make check) caps only the time.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kMemoryLimited = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kMemoryLimited = false;
#else
constexpr bool kMemoryLimited = true;
#endif
#else
constexpr bool kMemoryLimited = true;
#endif

struct Arguments {
    int size = 0;
    std::string input;
    std::string output;
};

// "-s SIZE INPUT OUTPUT" (also "-sSIZE" and "--size=SIZE", the size first or
// after the names). Nothing, with a message in error, for anything else.
std::optional<Arguments> parseArguments(const std::vector<std::string>& args, std::string& error);

// A picture with straight alpha, rows top to bottom, 0xAARRGGBB.
struct Rgba {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;
};

// The first icon of a file drawn at size x size from its best image. Nothing
// when the file holds no icon that can be drawn (damaged, empty, another type).
std::optional<Rgba> renderThumbnail(const std::string& input, int size);

// Caps the process at kMemoryLimit (when kMemoryLimited) of address space and kTimeLimitSeconds of
// processor and of real time; going past a time limit ends the process with
// status 3 and no output. Returns false when a limit could not be set.
bool applyLimits();

// Writes bytes as the whole content of path, in the file itself: a file
// manager may have made OUTPUT and kept it open, reading the picture through
// that descriptor once we are done (Xfce's tumbler does), so a file put in
// its place would never be seen. An existing regular file is emptied and
// written; a free name is made (0666 less the umask) and written. Anything
// else there (a FIFO, a device, a socket, a link, a folder) is refused
// untouched: "Cannot create file %s: Not a regular file" (a folder "Is a
// directory"). Every write and the close are checked ("Cannot write to file
// %s: <reason>"); after a failure, and when the time limit strikes while
// writing, a file we made is removed and a file we were given is left empty.
// A file we made is removed if SIGINT, SIGTERM or SIGHUP ends us too.
void writeOutput(const std::string& path, const std::vector<std::uint8_t>& bytes);

// The whole program: reads the arguments, writes OUTPUT (through
// writeOutput) and returns 0, or reports on err and returns non-zero with no
// picture in OUTPUT: a file it made is gone, a file it was given is empty.
int run(const std::vector<std::string>& args, std::string& err);

} // namespace vextral::thumbnailer
