#include "core/ByteSource.h"

#include "core/Bytes.h"
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vextral {

std::optional<std::vector<std::uint8_t>> ByteSource::bytes(std::uint64_t offset, std::uint64_t n) const
{
    if (!contains(offset, n)) return std::nullopt;
    std::vector<std::uint8_t> out(static_cast<std::size_t>(n));
    if (n != 0 && !read(offset, out.data(), out.size())) return std::nullopt;
    return out;
}

std::optional<std::uint8_t> ByteSource::u8(std::uint64_t offset) const
{
    std::uint8_t b;
    if (!read(offset, &b, 1)) return std::nullopt;
    return b;
}

std::optional<std::uint16_t> ByteSource::u16(std::uint64_t offset) const
{
    std::uint8_t b[2];
    if (!read(offset, b, 2)) return std::nullopt;
    return le16(b);
}

std::optional<std::uint32_t> ByteSource::u32(std::uint64_t offset) const
{
    std::uint8_t b[4];
    if (!read(offset, b, 4)) return std::nullopt;
    return le32(b);
}

ReadResult<std::unique_ptr<FileByteSource>> FileByteSource::open(const std::string& path)
{
    // O_NONBLOCK keeps a FIFO from blocking the open; such files are refused below.
    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!fd) return readFailure(std::strerror(errno));
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) return readFailure(std::strerror(errno));
    if (S_ISDIR(st.st_mode)) return readFailure("Is a directory");
    if (!S_ISREG(st.st_mode)) return readFailure("Not a regular file");
    return std::unique_ptr<FileByteSource>(new FileByteSource(std::move(fd), static_cast<std::uint64_t>(st.st_size)));
}

FileByteSource::~FileByteSource() = default;

bool FileByteSource::read(std::uint64_t offset, void* dst, std::size_t n) const
{
    if (!contains(offset, n)) return false;
    auto* out = static_cast<std::uint8_t*>(dst);
    if (n > kBlockSize / 4) return readDirect(offset, out, n);
    while (n > 0) {
        const std::uint64_t start = offset - offset % kBlockSize;
        const Block* b = block(start);
        if (!b) return false;
        const std::size_t within = static_cast<std::size_t>(offset - start);
        if (within >= b->length) return false;
        const std::size_t take = std::min(n, b->length - within);
        std::memcpy(out, b->data.data() + within, take);
        out += take;
        offset += take;
        n -= take;
    }
    return true;
}

const FileByteSource::Block* FileByteSource::block(std::uint64_t start) const
{
    ++clock_;
    Block* victim = &blocks_[0];
    for (Block& b : blocks_) {
        if (b.start == start) {
            b.lastUse = clock_;
            return &b;
        }
        if (b.lastUse < victim->lastUse) victim = &b;
    }
    const std::size_t length = static_cast<std::size_t>(std::min<std::uint64_t>(kBlockSize, size_ - start));
    victim->data.resize(kBlockSize);
    if (!readDirect(start, victim->data.data(), length)) {
        victim->start = ~std::uint64_t {0};
        return nullptr;
    }
    victim->start = start;
    victim->length = length;
    victim->lastUse = clock_;
    return victim;
}

bool FileByteSource::readDirect(std::uint64_t offset, std::uint8_t* out, std::size_t n) const
{
    while (n > 0) {
        const ssize_t got = ::pread(fd_.get(), out, n, static_cast<off_t>(offset));
        if (got < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (got == 0) return false; // the file shrank under us
        out += got;
        offset += static_cast<std::uint64_t>(got);
        n -= static_cast<std::size_t>(got);
    }
    return true;
}

bool MemoryByteSource::read(std::uint64_t offset, void* dst, std::size_t n) const
{
    if (!contains(offset, n)) return false;
    if (n != 0) std::memcpy(dst, data_.data() + offset, n);
    return true;
}

bool SliceByteSource::read(std::uint64_t offset, void* dst, std::size_t n) const
{
    if (!contains(offset, n)) return false;
    return base_->read(offset_ + offset, dst, n);
}

} // namespace vextral
