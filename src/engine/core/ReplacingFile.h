#pragma once

#include "core/SignalCleanup.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace vextral {

// The reason given for a name that holds something other than a regular file.
inline constexpr char kNotARegularFile[] = "Not a regular file";

// A file written under a temporary name in its target's folder and renamed
// over the target only when complete. Until then the target keeps what it
// held, and a failure at any point (a full disk, a folder that cannot be
// written) leaves neither an empty nor a truncated file behind. The rename
// replaces a symbolic link planted at the target name instead of writing
// through it. The new file keeps the mode of the regular file it replaces;
// a new one gets 0666 less the umask, as an ordinary create would.
//
// Only a regular file (or that link) is ever replaced, or a free name taken:
// a FIFO, a device, a socket or a folder at the target is refused, looked
// at once before the temporary file is made and again just before the
// rename, with nothing made or left behind. The temporary file is watched by
// CleanupOnSignal (core/SignalCleanup.h) while it exists, so SIGINT, SIGTERM
// or SIGHUP do not leave it either. Objects are independent: several threads
// may each write their own.
//
// Failures throw vextral::Error with the system's reason: "Cannot create file
// %s: <reason>" when the file cannot be made or given its name (a folder is
// "Is a directory", any other non-regular file kNotARegularFile), "Cannot
// write to file %s: <reason>" when writing it fails. The temporary file is
// gone after any failure.
class ReplacingFile {
public:
    explicit ReplacingFile(std::string target);
    ~ReplacingFile(); // removes the temporary file unless committed
    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;

    // Creates the temporary file.
    void open();
    bool isOpen() const { return stream_ != nullptr; }
    // Writes at the current position of the open file.
    void write(const void* data, std::size_t n);
    std::uint64_t position() const;
    void seek(std::uint64_t position);
    // Flushes, closes and renames over the target (after fsync when sync is
    // set). On failure the target is untouched.
    void commit(bool sync = false);
    const std::string& target() const { return target_; }

private:
    [[noreturn]] void fail(const char* what, int error);
    [[noreturn]] void fail(const char* what, const char* reason);
    void discard();

    std::string target_;
    std::string temp_;
    std::FILE* stream_ = nullptr;
    CleanupOnSignal cleanup_; // watches temp_ while it exists
};

// Writes bytes as the whole of the file path, through a ReplacingFile: the
// file appears complete or not at all, with the messages above.
void writeFileAtomically(const std::string& path, std::string_view bytes, bool sync = false);
inline void writeFileAtomically(const std::string& path, const std::vector<std::uint8_t>& bytes, bool sync = false)
{
    writeFileAtomically(path, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), sync);
}

} // namespace vextral
