#pragma once

#include <cstdio>
#include <string>

namespace vextral {

// A file written under a temporary name in its target's folder and renamed
// over the target only when complete. Until then the target keeps what it
// held, and a failure at any point (a full disk, a folder that cannot be
// written) leaves neither an empty nor a truncated file behind. The rename
// replaces a symbolic link planted at the target name instead of writing
// through it. The new file keeps the mode of the regular file it replaces;
// a new one gets 0666 less the umask, as an ordinary create would.
class ReplacingFile {
public:
    explicit ReplacingFile(std::string target);
    ~ReplacingFile(); // removes the temporary file unless committed
    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;

    // Creates the temporary file; 0, or the errno of the failure.
    int open();
    // The temporary file as a stdio stream (opened by open()).
    std::FILE* stream() const { return stream_; }
    // Flushes, closes and renames over the target (after fsync when sync is
    // set); 0, or the errno of the failure, in which case the temporary file
    // is gone and the target untouched.
    int commit(bool sync = false);
    const std::string& target() const { return target_; }

private:
    void discard();

    std::string target_;
    std::string temp_;
    std::FILE* stream_ = nullptr;
};

} // namespace vextral
