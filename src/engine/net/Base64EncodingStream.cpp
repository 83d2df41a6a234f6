#include "net/Base64EncodingStream.h"

#include <algorithm>
#include <cstring>

#include "core/Error.h"

namespace vextral::net {

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr int kLineLength = 76;

[[noreturn]] void invalidOperation() { throw Error("Invalid stream operation"); }

inline void encodeGroup(const std::uint8_t* in, char* out)
{
    const std::uint32_t v = (std::uint32_t {in[0]} << 16) | (std::uint32_t {in[1]} << 8) | in[2];
    out[0] = kAlphabet[v >> 18];
    out[1] = kAlphabet[(v >> 12) & 63];
    out[2] = kAlphabet[(v >> 6) & 63];
    out[3] = kAlphabet[v & 63];
}

} // namespace

// ---- StringStream ----

std::size_t StringStream::read(void* buffer, std::size_t count)
{
    const std::size_t n = position_ < text_.size() ? std::min(count, text_.size() - position_) : 0;
    std::memcpy(buffer, text_.data() + position_, n);
    position_ += n;
    return n;
}

std::size_t StringStream::write(const void* buffer, std::size_t count)
{
    if (position_ == text_.size()) {
        text_.append(static_cast<const char*>(buffer), count);
    } else {
        if (position_ + count > text_.size()) text_.resize(position_ + count);
        std::memcpy(text_.data() + position_, buffer, count);
    }
    position_ += count;
    return count;
}

std::int64_t StringStream::seek(std::int64_t offset, SeekOrigin origin)
{
    const std::int64_t base = origin == SeekOrigin::Beginning ? 0
                              : origin == SeekOrigin::Current ? static_cast<std::int64_t>(position_)
                                                              : static_cast<std::int64_t>(text_.size());
    const std::int64_t target = base + offset;
    if (target < 0 || target > static_cast<std::int64_t>(text_.size())) invalidOperation();
    position_ = static_cast<std::size_t>(target);
    return target;
}

// ---- Base64EncodingStream ----

Base64EncodingStream::Base64EncodingStream(Stream* target) : target_(target) {}

Base64EncodingStream::~Base64EncodingStream()
{
    try {
        finish();
    } catch (const Error&) {
        // Destructors do not throw; finish() reports the failure to callers
        // that need it.
    }
}

std::size_t Base64EncodingStream::read(void*, std::size_t) { invalidOperation(); }

std::size_t Base64EncodingStream::write(const void* buffer, std::size_t count)
{
    if (finished_) invalidOperation();
    inputCount_ += static_cast<std::int64_t>(count);
    const auto* in = static_cast<const std::uint8_t*>(buffer);
    const std::uint8_t* const end = in + count;

    // Text is gathered in a block and handed to the target in large writes;
    // the characters and line breaks are the same as group by group.
    constexpr std::size_t kBlock = 1 << 15;
    char out[kBlock + 8];
    std::size_t used = 0;
    int column = static_cast<int>(outputCount_ % kLineLength);
    auto emit = [&](const std::uint8_t* group) {
        encodeGroup(group, out + used);
        used += 4;
        outputCount_ += 4;
        column += 4;
        if (column == kLineLength) {
            out[used++] = '\r';
            out[used++] = '\n';
            column = 0;
        }
        if (used > kBlock - 6) {
            if (target_) target_->write(out, used);
            used = 0;
        }
    };

    while (pending_ > 0 && pending_ < 3 && in < end) group_[pending_++] = *in++;
    if (pending_ == 3) {
        emit(group_);
        pending_ = 0;
    }
    if (pending_ == 0) {
        while (end - in >= 3) {
            emit(in);
            in += 3;
        }
        while (in < end) group_[pending_++] = *in++;
    }
    if (used > 0 && target_) target_->write(out, used);
    return count;
}

std::int64_t Base64EncodingStream::seek(std::int64_t offset, SeekOrigin origin)
{
    if (finished_) invalidOperation();
    const bool query =
        (offset == 0 && origin != SeekOrigin::Beginning) || (origin == SeekOrigin::Beginning && offset == outputCount_);
    if (!query) invalidOperation();
    return outputCount_;
}

void Base64EncodingStream::finish()
{
    if (finished_) return;
    finished_ = true;
    if (!target_ || pending_ == 0) return;
    char out[4];
    const std::uint8_t b0 = group_[0];
    const std::uint8_t b1 = pending_ == 2 ? group_[1] : 0;
    out[0] = kAlphabet[b0 >> 2];
    out[1] = kAlphabet[((b0 & 3) << 4) | (b1 >> 4)];
    out[2] = pending_ == 2 ? kAlphabet[(b1 & 15) << 2] : '=';
    out[3] = '=';
    target_->write(out, 4);
}

std::string base64Encode(const std::string& data)
{
    StringStream text;
    {
        Base64EncodingStream encoder(&text);
        encoder.write(data.data(), data.size());
        encoder.finish();
    }
    return std::move(text.text());
}

} // namespace vextral::net
