#pragma once

#include "core/FileDescriptor.h"
#include "core/ReadResult.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace vextral {

// Random access to the bytes of a file or of a buffer. Every read is checked
// against the size, so a parser can follow any offset it finds in a file
// without first proving it sane: an out-of-range read simply fails.
class ByteSource {
public:
    virtual ~ByteSource() = default;

    virtual std::uint64_t size() const = 0;
    // Reads exactly n bytes at offset into dst; false when the range is outside
    // the source or the read fails.
    virtual bool read(std::uint64_t offset, void* dst, std::size_t n) const = 0;

    // The n bytes at offset, or nothing when they are not all there.
    std::optional<std::vector<std::uint8_t>> bytes(std::uint64_t offset, std::uint64_t n) const;
    bool contains(std::uint64_t offset, std::uint64_t n) const { return offset <= size() && n <= size() - offset; }

    std::optional<std::uint8_t> u8(std::uint64_t offset) const;
    std::optional<std::uint16_t> u16(std::uint64_t offset) const; // little-endian
    std::optional<std::uint32_t> u32(std::uint64_t offset) const; // little-endian
};

// A regular file, read with pread: only the ranges a parser asks for are read.
class FileByteSource final : public ByteSource {
public:
    // Opens path: a regular file, or the reason it cannot be read ("No such
    // file or directory", "Is a directory", "Not a regular file"). A FIFO is
    // refused without waiting on it.
    static ReadResult<std::unique_ptr<FileByteSource>> open(const std::string& path);
    ~FileByteSource() override;
    FileByteSource(const FileByteSource&) = delete;
    FileByteSource& operator=(const FileByteSource&) = delete;

    std::uint64_t size() const override { return size_; }
    bool read(std::uint64_t offset, void* dst, std::size_t n) const override;

private:
    FileByteSource(FileDescriptor fd, std::uint64_t size) : fd_(std::move(fd)), size_(size) {}
    bool readDirect(std::uint64_t offset, std::uint8_t* dst, std::size_t n) const;

    // Parsers read many small structures close together (directory entries,
    // headers); they are served from a few cached blocks instead of one system
    // call each.
    static constexpr std::size_t kBlockSize = 16 * 1024;
    static constexpr std::size_t kBlocks = 8;
    struct Block {
        std::uint64_t start = ~std::uint64_t {0};
        std::size_t length = 0;
        std::uint64_t lastUse = 0;
        std::vector<std::uint8_t> data;
    };
    const Block* block(std::uint64_t start) const;

    FileDescriptor fd_;
    std::uint64_t size_;
    mutable std::array<Block, kBlocks> blocks_;
    mutable std::uint64_t clock_ = 0;
};

class MemoryByteSource final : public ByteSource {
public:
    explicit MemoryByteSource(std::vector<std::uint8_t> data) : data_(std::move(data)) {}
    std::uint64_t size() const override { return data_.size(); }
    bool read(std::uint64_t offset, void* dst, std::size_t n) const override;

private:
    std::vector<std::uint8_t> data_;
};

// A window onto part of another source (an icon file stored inside an ANI file).
class SliceByteSource final : public ByteSource {
public:
    SliceByteSource(std::shared_ptr<const ByteSource> base, std::uint64_t offset, std::uint64_t size)
        : base_(std::move(base)), offset_(offset), size_(size)
    {}
    std::uint64_t size() const override { return size_; }
    bool read(std::uint64_t offset, void* dst, std::size_t n) const override;

private:
    std::shared_ptr<const ByteSource> base_;
    std::uint64_t offset_;
    std::uint64_t size_;
};

} // namespace vextral
