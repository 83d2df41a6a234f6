#pragma once

#include "core/ReadResult.h"
#include "core/ReaderLimits.h"
#include "core/SignalCleanup.h"

#include <cstdint>
#include <span>
#include <string>
#include <unistd.h>
#include <vector>

namespace vextral::cli {

// "-" as a file operand names standard input, read whole into memory; "./-"
// is still the file called "-". What a command prints names it "-", as given;
// a name made from it (an extracted icon, a converted picture) is "stdin".
inline bool namesStandardInput(const std::string& path) { return path == "-"; }
inline constexpr char kStandardInputName[] = "stdin";

// The most of standard input a command reads: the largest picture file the
// readers take, ReaderLimits::pictureFileBytes.
inline std::uint64_t standardInputLimit() { return ReaderLimits {}.pictureFileBytes; }

// Standard input can be read once: throws UsageError when paths names "-"
// more than once.
void checkStandardInputOnce(const std::vector<std::string>& paths);

// Everything fd gives up to its end, at most limit bytes. A read error fails
// with "standard input: <reason>", more than limit bytes with "standard input
// is larger than <limit> bytes"; in neither case is more than limit + 1 bytes
// of room taken.
ReadResult<std::vector<std::uint8_t>> readStandardInput(std::uint64_t limit = standardInputLimit(),
                                                        int fd = STDIN_FILENO);

// Bytes of standard input as a file, for the readers that open files by path
// (the harvest and its catalogue read each file again by its name): the file
// "stdin" in a private folder of $TMPDIR (or /tmp when that is no writable
// folder), made readable by its owner alone, removed with its folder when the
// copy goes, and by a signal that ends the program.
class StandardInputCopy {
public:
    // Throws Error "Cannot create file <path>: <reason>" when it cannot be written.
    explicit StandardInputCopy(std::span<const std::uint8_t> bytes);
    ~StandardInputCopy();
    StandardInputCopy(const StandardInputCopy&) = delete;
    StandardInputCopy& operator=(const StandardInputCopy&) = delete;

    const std::string& path() const { return path_; }

private:
    std::string folder_;
    std::string path_;
    CleanupOnSignal cleanup_;
};

} // namespace vextral::cli
