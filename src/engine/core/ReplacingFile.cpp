#include "core/ReplacingFile.h"

#include "core/Error.h"
#include "core/FileDescriptor.h"
#include "core/SignalCleanup.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vextral {

namespace {

constexpr char kCannotCreate[] = "Cannot create file ";
constexpr char kCannotWrite[] = "Cannot write to file ";

mode_t newFileMode(const std::string& target)
{
    struct stat st {};
    if (::lstat(target.c_str(), &st) == 0 && S_ISREG(st.st_mode)) return st.st_mode & 07777;
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

// Why the name must not be replaced, or nothing: only a regular file (or a
// link, which the rename replaces) may be, or a name that is free. What
// cannot be looked at is left to the create or the rename to report.
const char* refusalOf(const std::string& target)
{
    struct stat st {};
    if (::lstat(target.c_str(), &st) != 0 || S_ISREG(st.st_mode) || S_ISLNK(st.st_mode)) return nullptr;
    if (S_ISDIR(st.st_mode)) return std::strerror(EISDIR);
    return kNotARegularFile;
}

// A rename refused for the name itself (it is a folder, say) is a file that
// could not be created; anything else went wrong while writing.
bool refusesTheName(int error)
{
    return error == EISDIR || error == ENOTDIR || error == EACCES || error == EPERM || error == EROFS ||
           error == ENAMETOOLONG || error == EBUSY || error == ENOENT || error == EEXIST || error == ENOTEMPTY;
}

} // namespace

ReplacingFile::ReplacingFile(std::string target) : target_(std::move(target)) {}

ReplacingFile::~ReplacingFile() { discard(); }

void ReplacingFile::fail(const char* what, int error) { fail(what, std::strerror(error != 0 ? error : EIO)); }

void ReplacingFile::fail(const char* what, const char* reason)
{
    std::string message = what + target_ + ": " + reason;
    discard();
    throw Error(message);
}

void ReplacingFile::open()
{
    discard();
    if (const char* refused = refusalOf(target_)) fail(kCannotCreate, refused);
    const std::size_t slash = target_.find_last_of('/');
    const std::string folder = slash == std::string::npos ? std::string(".") : target_.substr(0, slash + 1);
    // A short hidden name: the target's own name may already be as long as a
    // name can be.
    temp_ = (folder.back() == '/' ? folder : folder + "/") + ".vextral-XXXXXX";
    FileDescriptor fd;
    int error = 0;
    {
        // Made and registered with the ending signals held, so no signal
        // falls between the two.
        const SignalsHeld held;
        fd.reset(::mkostemp(temp_.data(), O_CLOEXEC));
        if (fd) {
            cleanup_ = CleanupOnSignal(temp_);
        } else {
            error = errno;
        }
    }
    if (!fd) {
        temp_.clear();
        fail(kCannotCreate, error);
    }
    stream_ = ::fdopen(fd.get(), "wb");
    if (!stream_) fail(kCannotCreate, errno); // fd is closed on the way out
    fd.release();                             // the stream owns it now
}

void ReplacingFile::write(const void* data, std::size_t n)
{
    if (!stream_) fail(kCannotWrite, EBADF);
    errno = 0;
    if (n != 0 && std::fwrite(data, 1, n, stream_) != n) fail(kCannotWrite, errno);
}

std::uint64_t ReplacingFile::position() const
{
    const long at = stream_ ? std::ftell(stream_) : 0;
    return at > 0 ? static_cast<std::uint64_t>(at) : 0;
}

void ReplacingFile::seek(std::uint64_t position)
{
    if (!stream_) fail(kCannotWrite, EBADF);
    if (std::fseek(stream_, static_cast<long>(position), SEEK_SET) != 0) fail(kCannotWrite, errno);
}

void ReplacingFile::commit(bool sync)
{
    if (!stream_) fail(kCannotWrite, EBADF);
    int error = 0;
    if (std::fflush(stream_) != 0) error = errno;
    if (!error && ::fchmod(::fileno(stream_), newFileMode(target_)) != 0) error = errno;
    if (!error && sync && ::fsync(::fileno(stream_)) != 0) error = errno;
    const int closed = std::fclose(stream_);
    stream_ = nullptr;
    if (!error && closed != 0) error = errno;
    if (error) fail(kCannotWrite, error);
    // Looked at again just before: the name may have changed hands meanwhile.
    if (const char* refused = refusalOf(target_)) fail(kCannotCreate, refused);
    if (::rename(temp_.c_str(), target_.c_str()) != 0) {
        error = errno;
        fail(refusesTheName(error) ? kCannotCreate : kCannotWrite, error);
    }
    cleanup_.forget();
    temp_.clear();
}

void ReplacingFile::discard()
{
    if (stream_) {
        std::fclose(stream_);
        stream_ = nullptr;
    }
    if (!temp_.empty()) {
        ::unlink(temp_.c_str());
        cleanup_.forget(); // after the unlink: a signal in between finds it gone
        temp_.clear();
    }
}

void writeFileAtomically(const std::string& path, std::string_view bytes, bool sync)
{
    ReplacingFile file(path);
    file.open();
    file.write(bytes.data(), bytes.size());
    file.commit(sync);
}

} // namespace vextral
