#pragma once

#include <unistd.h>

#include <utility>

namespace vextral {

// An open POSIX file descriptor, closed when its holder goes. The one holder
// of raw descriptors in the engine: files opened for reading, pipes, sockets,
// temporary files. -1 holds nothing.
class FileDescriptor {
public:
    FileDescriptor() = default;
    explicit FileDescriptor(int fd) : fd_(fd) {}
    FileDescriptor(FileDescriptor&& other) noexcept : fd_(other.release()) {}
    FileDescriptor& operator=(FileDescriptor&& other) noexcept
    {
        if (this != &other) reset(other.release());
        return *this;
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor() { reset(); }

    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    explicit operator bool() const { return valid(); }
    // Gives the descriptor up without closing it.
    int release() { return std::exchange(fd_, -1); }
    // Closes what is held (if anything) and holds fd instead.
    void reset(int fd = -1)
    {
        if (fd_ >= 0 && fd_ != fd) ::close(fd_);
        fd_ = fd;
    }

private:
    int fd_ = -1;
};

} // namespace vextral
