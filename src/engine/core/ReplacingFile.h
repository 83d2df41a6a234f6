#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace vextral {

// A file written under a temporary name in its target's folder and renamed
// over the target only when complete. Until then the target keeps what it
// held, and a failure at any point (a full disk, a folder that cannot be
// written) leaves neither an empty nor a truncated file behind. The rename
// replaces a symbolic link planted at the target name instead of writing
// through it. The new file keeps the mode of the regular file it replaces;
// a new one gets 0666 less the umask, as an ordinary create would.
//
// Failures throw vextral::Error with the system's reason: "Cannot create file
// %s: <reason>" when the file cannot be made or given its name, "Cannot write
// to file %s: <reason>" when writing it fails. The temporary file is gone
// after any failure.
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
    void discard();

    std::string target_;
    std::string temp_;
    std::FILE* stream_ = nullptr;
};

// Writes bytes as the whole of the file path, through a ReplacingFile: the
// file appears complete or not at all, with the messages above.
void writeFileAtomically(const std::string& path, std::string_view bytes, bool sync = false);
inline void writeFileAtomically(const std::string& path, const std::vector<std::uint8_t>& bytes, bool sync = false)
{
    writeFileAtomically(path, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), sync);
}

} // namespace vextral
