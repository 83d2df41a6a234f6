#pragma once

#include "core/ReplacingFile.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vextral {

// Where a writer puts the bytes of a file: written in order, with a position
// that can be moved back to complete a header. Writes that fail throw
// vextral::Error. name() is what messages about the file call it.
class Sink {
public:
    virtual ~Sink() = default;
    virtual void write(const void* data, std::size_t n) = 0;
    virtual std::uint64_t position() = 0;
    // Moves the position to at most the end of what was written.
    virtual void seek(std::uint64_t position) = 0;
    virtual const std::string& name() const = 0;

    void write(const std::vector<std::uint8_t>& bytes) { write(bytes.data(), bytes.size()); }
    void u8(std::uint8_t v) { write(&v, 1); }
    void le16(std::uint16_t v);
    void le32(std::uint32_t v);
};

// The bytes in memory.
class MemorySink : public Sink {
public:
    explicit MemorySink(std::string name = "memory") : name_(std::move(name)) {}
    void write(const void* data, std::size_t n) override;
    std::uint64_t position() override { return position_; }
    void seek(std::uint64_t position) override;
    const std::string& name() const override { return name_; }
    const std::vector<std::uint8_t>& bytes() const { return bytes_; }

private:
    std::string name_;
    std::vector<std::uint8_t> bytes_;
    std::size_t position_ = 0;
};

// A file through ReplacingFile: the target takes the bytes at commit() and
// not before, so a writer that fails or throws leaves it as it was and no
// temporary file behind. The file is made at the first write (or at commit),
// so a writer that refuses its input before writing creates nothing at all.
// As with ReplacingFile, only a regular file is replaced: a FIFO, device,
// socket or folder at the path is refused at the first write, untouched.
// Messages: "Cannot create file %s: <reason>", "Cannot write to file %s: <reason>".
class FileSink : public Sink {
public:
    explicit FileSink(const std::string& path) : file_(path) {}
    void write(const void* data, std::size_t n) override;
    std::uint64_t position() override;
    void seek(std::uint64_t position) override;
    const std::string& name() const override { return file_.target(); }
    // Completes the file: after this the target holds it.
    void commit();

private:
    ReplacingFile& opened();
    ReplacingFile file_;
    bool started_ = false; // opened once: after a failure it stays closed
};

} // namespace vextral
