#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

namespace vextral::net {

enum class SeekOrigin { Beginning, Current, End };

// A byte stream: the small interface the mail encoder writes through. Errors
// are thrown as vextral::Error.
class Stream {
public:
    virtual ~Stream() = default;
    virtual std::size_t read(void* buffer, std::size_t count) = 0;
    virtual std::size_t write(const void* buffer, std::size_t count) = 0;
    virtual std::int64_t seek(std::int64_t offset, SeekOrigin origin) = 0;
};

// A stream that appends everything written to a string it owns.
class StringStream final : public Stream {
public:
    std::size_t read(void* buffer, std::size_t count) override;
    std::size_t write(const void* buffer, std::size_t count) override;
    std::int64_t seek(std::int64_t offset, SeekOrigin origin) override;
    const std::string& text() const { return text_; }
    std::string& text() { return text_; }

private:
    std::string text_;
    std::size_t position_ = 0;
};

// A stream over an open POSIX file descriptor, which it does not close.
// Writes are buffered; flush() (or destruction) hands them to the file.
class FileStream final : public Stream {
public:
    FileStream(int fd, std::string fileName);
    ~FileStream() override;
    FileStream(const FileStream&) = delete;
    FileStream& operator=(const FileStream&) = delete;
    std::size_t read(void* buffer, std::size_t count) override;
    std::size_t write(const void* buffer, std::size_t count) override;
    std::int64_t seek(std::int64_t offset, SeekOrigin origin) override;
    void flush();

private:
    int fd_;
    std::string fileName_;
    std::string pending_;
};

// Write-only Base64 encoder (the alphabet of RFC 2045) in front of a target
// stream it does not own. Lines break after every 76 characters by the running
// count of characters produced, so the text does not depend on how the input
// is split into writes. The last, incomplete group is padded with "=" when the
// encoder is destroyed (or finish() is called), without a line break after it.
// read() and any seek other than a position or size query throw
// "Invalid stream operation".
class Base64EncodingStream final : public Stream {
public:
    explicit Base64EncodingStream(Stream* target);
    // Writes the padded final group; a failure of the target here is
    // swallowed (call finish() first to see it).
    ~Base64EncodingStream() override;
    Base64EncodingStream(const Base64EncodingStream&) = delete;
    Base64EncodingStream& operator=(const Base64EncodingStream&) = delete;

    std::size_t read(void* buffer, std::size_t count) override;
    std::size_t write(const void* buffer, std::size_t count) override;
    // Returns the number of Base64 characters written so far (line breaks and
    // the padded final group not counted) for origin Current or End with
    // offset 0, or origin Beginning with that same number as offset.
    std::int64_t seek(std::int64_t offset, SeekOrigin origin) override;

    // Writes the padded final group now; later writes and seeks throw
    // "Invalid stream operation". Called by the destructor when not yet done.
    void finish();

    std::int64_t inputCount() const { return inputCount_; }

private:
    Stream* target_;
    std::uint8_t group_[3] = {0, 0, 0};
    int pending_ = 0; // bytes of group_ waiting for a full group
    std::int64_t inputCount_ = 0;
    std::int64_t outputCount_ = 0;
    bool finished_ = false;
};

// The whole of data in Base64 with the encoder's line breaks (CR LF after
// every 76 characters, none after the last line).
std::string base64Encode(const std::string& data);

} // namespace vextral::net
