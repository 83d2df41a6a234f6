#include "core/ReplacingFile.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vextral {

namespace {

mode_t newFileMode(const std::string& target)
{
    struct stat st {};
    if (::lstat(target.c_str(), &st) == 0 && S_ISREG(st.st_mode)) return st.st_mode & 07777;
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

} // namespace

ReplacingFile::ReplacingFile(std::string target) : target_(std::move(target)) {}

ReplacingFile::~ReplacingFile() { discard(); }

int ReplacingFile::open()
{
    discard();
    const std::size_t slash = target_.find_last_of('/');
    const std::string folder = slash == std::string::npos ? std::string(".") : target_.substr(0, slash + 1);
    // A short hidden name: the target's own name may already be as long as a
    // name can be.
    temp_ = (folder.back() == '/' ? folder : folder + "/") + ".vextral-XXXXXX";
    const int fd = ::mkostemp(temp_.data(), O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        temp_.clear();
        return error;
    }
    stream_ = ::fdopen(fd, "wb");
    if (!stream_) {
        const int error = errno;
        ::close(fd);
        discard();
        return error;
    }
    return 0;
}

int ReplacingFile::commit(bool sync)
{
    if (!stream_) return EBADF;
    int error = 0;
    if (std::fflush(stream_) != 0) error = errno;
    if (!error && ::fchmod(::fileno(stream_), newFileMode(target_)) != 0) error = errno;
    if (!error && sync && ::fsync(::fileno(stream_)) != 0) error = errno;
    const int closed = std::fclose(stream_);
    stream_ = nullptr;
    if (!error && closed != 0) error = errno;
    if (!error && ::rename(temp_.c_str(), target_.c_str()) != 0) error = errno;
    if (error) {
        discard();
        return error;
    }
    temp_.clear();
    return 0;
}

void ReplacingFile::discard()
{
    if (stream_) {
        std::fclose(stream_);
        stream_ = nullptr;
    }
    if (!temp_.empty()) {
        ::unlink(temp_.c_str());
        temp_.clear();
    }
}

} // namespace vextral
