#include "core/Sink.h"

#include <algorithm>
#include <cstring>

namespace vextral {

void Sink::le16(std::uint16_t v)
{
    const std::uint8_t b[2] = {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8)};
    write(b, 2);
}

void Sink::le32(std::uint32_t v)
{
    const std::uint8_t b[4] = {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8),
                               static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 24)};
    write(b, 4);
}

void MemorySink::write(const void* data, std::size_t n)
{
    if (n == 0) return;
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    const std::size_t over = std::min(n, bytes_.size() - position_);
    if (over != 0) std::memcpy(bytes_.data() + position_, bytes, over);
    bytes_.insert(bytes_.end(), bytes + over, bytes + n);
    position_ += n;
}

void MemorySink::seek(std::uint64_t position)
{
    position_ = static_cast<std::size_t>(std::min<std::uint64_t>(position, bytes_.size()));
}

ReplacingFile& FileSink::opened()
{
    if (!started_) {
        started_ = true;
        file_.open();
    }
    return file_;
}

void FileSink::write(const void* data, std::size_t n) { opened().write(data, n); }

std::uint64_t FileSink::position() { return opened().position(); }

void FileSink::seek(std::uint64_t position) { opened().seek(position); }

void FileSink::commit() { opened().commit(); }

} // namespace vextral
