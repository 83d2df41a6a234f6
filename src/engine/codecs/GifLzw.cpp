#include "codecs/GifLzw.h"

#include "core/Error.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>

namespace vextral::codecs {

namespace {

constexpr char kDamaged[] = "unrecognized GIF";
constexpr int kTableCodes = 4096; // 12-bit codes

// ---------------------------------------------------------------- encoder

// String table of the encoder: open addressing over a prime number of
// 32-bit slots, each (key << 12) | code with key = (prefix << 8) | byte.
// A slot whose top 20 bits are all ones is empty; no key reaches that value
// because prefixes stay below 4095.
constexpr int kHashSlots = 8009;
constexpr std::uint32_t kEmptySlot = 0xFFFFFFFFu;
// Next code never passes this between clears; on reaching it the encoder
// sends a clear code instead of growing the table.
constexpr int kLastFreeCode = 4095;
// Sub-blocks carry 254 bytes, not the 255 the format would allow.
constexpr std::size_t kBlockBytes = 254;

class Encoder {
public:
    Encoder(std::vector<std::uint8_t>& out, int bitsPerPixel) : out_(out)
    {
        const int b = std::clamp(bitsPerPixel, 1, 8);
        // One bit a pixel still needs the two data codes plus clear and end.
        out_.push_back(static_cast<std::uint8_t>(b > 1 ? b : 2));
        initBits_ = b > 1 ? b + 1 : 3;
        clearCode_ = 1 << (initBits_ - 1);
        endCode_ = clearCode_ + 1;
        valueMask_ = static_cast<std::uint32_t>(clearCode_ - 1);
        bits_ = initBits_;
        maxCode_ = (1 << bits_) - 1;
        clear();
    }

    // Feeds a run of pixels; the first pixel of the image starts the prefix.
    void feed(const std::uint8_t* p, std::size_t n)
    {
        if (n == 0) return;
        std::size_t i = 0;
        if (prefix_ < 0) {
            prefix_ = static_cast<int>(p[0] & valueMask_);
            i = 1;
        }
        std::uint32_t* const slots = slots_.get();
        int prefix = prefix_;
        for (; i < n; ++i) {
            const std::uint32_t c = p[i] & valueMask_;
            const std::uint32_t key = static_cast<std::uint32_t>(prefix) << 8 | c;
            int h = static_cast<int>((key ^ (key >> 4)) % kHashSlots);
            std::uint32_t slot = slots[h];
            if ((slot >> 12) == key) {
                prefix = static_cast<int>(slot & 0xFFF);
                continue;
            }
            if (slot != kEmptySlot) {
                // Secondary probe with a fixed step: visits every slot of the
                // prime-sized table, so a free one is always found.
                const int step = h == 0 ? 1 : kHashSlots - h;
                bool found = false;
                do {
                    h -= step;
                    if (h < 0) h += kHashSlots;
                    slot = slots[h];
                    if ((slot >> 12) == key) {
                        found = true;
                        break;
                    }
                } while (slot != kEmptySlot);
                if (found) {
                    prefix = static_cast<int>(slot & 0xFFF);
                    continue;
                }
            }
            emit(prefix);
            prefix = static_cast<int>(c);
            if (nextCode_ < kLastFreeCode) {
                slots[h] = key << 12 | static_cast<std::uint32_t>(nextCode_++);
            } else {
                clear();
            }
        }
        prefix_ = prefix;
    }

    void finish()
    {
        if (prefix_ >= 0) emit(prefix_);
        emit(endCode_);
        out_.push_back(0); // the zero-length block
    }

private:
    void clear()
    {
        std::fill_n(slots_.get(), kHashSlots, kEmptySlot);
        nextCode_ = clearCode_ + 2;
        justCleared_ = true;
        emit(clearCode_);
    }

    void putByte(std::uint8_t byte)
    {
        block_[blockLength_++] = byte;
        if (blockLength_ == kBlockBytes) [[unlikely]]
            flushBlock();
    }

    void flushBlock()
    {
        if (blockLength_ == 0) return;
        out_.push_back(static_cast<std::uint8_t>(blockLength_));
        out_.insert(out_.end(), block_, block_ + blockLength_);
        blockLength_ = 0;
    }

    // Codes are packed least significant bit first. The code size follows the
    // table one code late: it grows after the first code sent once next code
    // has passed the largest code of the current size.
    [[gnu::always_inline]] void emit(int code)
    {
        accumulator_ |= static_cast<std::uint64_t>(code) << pending_;
        pending_ += bits_;
        while (pending_ >= 8) {
            putByte(static_cast<std::uint8_t>(accumulator_));
            accumulator_ >>= 8;
            pending_ -= 8;
        }
        if (nextCode_ > maxCode_ || justCleared_) [[unlikely]]
            grow();
        if (code == endCode_) [[unlikely]]
            finishBits();
    }

    void grow()
    {
        if (justCleared_) {
            bits_ = initBits_;
            maxCode_ = (1 << bits_) - 1;
            justCleared_ = false;
        } else {
            ++bits_;
            maxCode_ = bits_ == 12 ? kTableCodes : (1 << bits_) - 1;
        }
    }

    // After the end code: the last bits as whole bytes, and the last sub-block.
    void finishBits()
    {
        while (pending_ > 0) {
            putByte(static_cast<std::uint8_t>(accumulator_));
            accumulator_ >>= 8;
            pending_ -= 8;
        }
        pending_ = 0;
        flushBlock();
    }

    std::vector<std::uint8_t>& out_;
    std::unique_ptr<std::uint32_t[]> slots_ {new std::uint32_t[kHashSlots]};
    int initBits_ = 0, bits_ = 0, maxCode_ = 0, nextCode_ = 0, clearCode_ = 0, endCode_ = 0;
    std::uint32_t valueMask_ = 0;
    bool justCleared_ = false;
    int prefix_ = -1;
    std::uint64_t accumulator_ = 0;
    int pending_ = 0;
    std::uint8_t block_[kBlockBytes];
    std::size_t blockLength_ = 0;
};

// ---------------------------------------------------------------- decoder

class Decoder {
public:
    explicit Decoder(ByteReader& in) : in_(in) {}

    // Reads the minimum code size; false when the data has no byte left.
    bool start()
    {
        if (in_.left() == 0) return false;
        minSize_ = in_.data[in_.pos++];
        // Indices are bytes: a larger size belongs to no GIF.
        if (minSize_ > 8) throw Error(kDamaged);
        clearCode_ = 1 << minSize_;
        endCode_ = clearCode_ + 1;
        codeSize_ = minSize_ + 1;
        growAt_ = 2 * clearCode_;
        nextCode_ = clearCode_ + 2;
        return true;
    }

    // The next pixel value; -1 when the data ran out, -2 after the end code.
    int next()
    {
        if (sp_ > 0) return stack_[--sp_];
        for (;;) {
            int code = readCode();
            if (code < 0) return -1;
            if (code == clearCode_) {
                resetTable();
                do {
                    code = readCode();
                } while (code == clearCode_);
                if (code < 0) return -1;
                if (code == endCode_) {
                    skipRest();
                    return -2;
                }
                // A string must start with a single value.
                if (code > clearCode_) throw Error(kDamaged);
                firstCode_ = oldCode_ = code;
                return code;
            }
            if (code == endCode_) {
                skipRest();
                return -2;
            }
            const int incoming = code;
            if (code >= nextCode_) {
                // The string being defined right now: the previous one plus
                // its own first value.
                stack_[sp_++] = static_cast<std::uint8_t>(firstCode_);
                code = oldCode_;
            }
            // A chain longer than the table can only loop.
            int steps = 0;
            while (code >= clearCode_) {
                stack_[sp_++] = suffix_[code];
                const int up = prefix_[code];
                if (up == code || ++steps >= kTableCodes) throw Error(kDamaged);
                code = up;
            }
            firstCode_ = suffix_[code];
            stack_[sp_++] = static_cast<std::uint8_t>(firstCode_);
            if (nextCode_ < kTableCodes) {
                prefix_[nextCode_] = static_cast<std::uint16_t>(oldCode_);
                suffix_[nextCode_] = static_cast<std::uint8_t>(firstCode_);
                ++nextCode_;
                if (nextCode_ >= growAt_ && growAt_ < kTableCodes) {
                    growAt_ *= 2;
                    ++codeSize_;
                }
            }
            oldCode_ = incoming;
            if (sp_ > 0) return stack_[--sp_];
        }
    }

    // Skips what is left of the image data, through the zero-length block.
    void skipRest()
    {
        if (zeroBlockSeen_) return;
        in_.pos += blockLeft_;
        blockLeft_ = 0;
        exhausted_ = true;
        for (;;) {
            if (in_.left() == 0) return;
            const std::size_t n = in_.data[in_.pos++];
            if (n == 0) break;
            if (in_.left() < n) throw Error(kDamaged);
            in_.pos += n;
        }
        zeroBlockSeen_ = true;
    }

private:
    void resetTable()
    {
        for (int i = 0; i < clearCode_; ++i) {
            prefix_[i] = 0;
            suffix_[i] = static_cast<std::uint8_t>(i);
        }
        std::fill(prefix_ + clearCode_, prefix_ + kTableCodes, 0);
        std::fill(suffix_ + clearCode_, suffix_ + kTableCodes, 0);
        codeSize_ = minSize_ + 1;
        growAt_ = 2 * clearCode_;
        nextCode_ = clearCode_ + 2;
        sp_ = 0;
    }

    // A code of the current size, least significant bit first, gathered
    // across sub-blocks; the first request yields the clear code so that the
    // table starts out reset. -1 when the data ends before the code does.
    int readCode()
    {
        if (fresh_) {
            fresh_ = false;
            return clearCode_;
        }
        while (bitCount_ < codeSize_) {
            if (exhausted_) return -1;
            if (blockLeft_ == 0) {
                if (in_.left() == 0) {
                    exhausted_ = true;
                    return -1;
                }
                const std::size_t n = in_.data[in_.pos++];
                if (n == 0) {
                    exhausted_ = true;
                    zeroBlockSeen_ = true;
                    return -1;
                }
                if (in_.left() < n) throw Error(kDamaged);
                blockLeft_ = n;
            }
            bits_ |= static_cast<std::uint32_t>(in_.data[in_.pos++]) << bitCount_;
            bitCount_ += 8;
            --blockLeft_;
        }
        const int code = static_cast<int>(bits_ & ((1u << codeSize_) - 1));
        bits_ >>= codeSize_;
        bitCount_ -= codeSize_;
        return code;
    }

    ByteReader& in_;
    int minSize_ = 0, clearCode_ = 0, endCode_ = 0, codeSize_ = 0, growAt_ = 0, nextCode_ = 0;
    int firstCode_ = 0, oldCode_ = 0;
    std::uint16_t prefix_[kTableCodes] = {};
    std::uint8_t suffix_[kTableCodes] = {};
    // One code yields at most a full chain plus the value pushed ahead of it.
    std::uint8_t stack_[2 * kTableCodes] = {};
    int sp_ = 0;
    std::uint32_t bits_ = 0;
    int bitCount_ = 0;
    std::size_t blockLeft_ = 0;
    bool exhausted_ = false, zeroBlockSeen_ = false, fresh_ = true;
};

// Calls of decodeGif so far, in the whole process.
std::atomic<std::uint64_t> decodedImages {0};

std::size_t pixelCount(int height, int width)
{
    if (height <= 0 || width <= 0) return 0;
    return static_cast<std::size_t>(height) * static_cast<std::size_t>(width);
}

} // namespace

std::vector<int> gifRowOrder(int height, bool interlaced)
{
    std::vector<int> rows;
    if (height <= 0) return rows;
    rows.reserve(static_cast<std::size_t>(height));
    if (!interlaced) {
        for (int y = 0; y < height; ++y) rows.push_back(y);
        return rows;
    }
    static constexpr int kPasses[4][2] = {{0, 8}, {4, 8}, {2, 4}, {1, 2}};
    for (const auto& pass : kPasses) {
        for (int y = pass[0]; y < height; y += pass[1]) rows.push_back(y);
    }
    return rows;
}

void encodeGif(std::vector<std::uint8_t>& out, int height, int width, bool interlaced, const std::uint8_t* pixels,
               int bitsPerPixel)
{
    Encoder encoder(out, bitsPerPixel);
    const std::size_t total = pixelCount(height, width);
    if (total != 0) {
        if (!interlaced) {
            encoder.feed(pixels, total);
        } else {
            for (const int y : gifRowOrder(height, true)) {
                encoder.feed(pixels + static_cast<std::size_t>(y) * static_cast<std::size_t>(width),
                             static_cast<std::size_t>(width));
            }
        }
    }
    encoder.finish();
}

std::uint64_t gifImagesDecoded() { return decodedImages.load(std::memory_order_relaxed); }

std::size_t decodeGif(ByteReader& in, int height, int width, bool interlaced, std::uint8_t* pixels)
{
    decodedImages.fetch_add(1, std::memory_order_relaxed);
    // The tables and the output stack take 24 KB: keep them off the stack.
    const auto decoder = std::make_unique<Decoder>(in);
    if (!decoder->start()) return 0;
    const std::size_t total = pixelCount(height, width);
    std::size_t filled = 0;
    bool ended = false;
    if (!interlaced) {
        for (; filled < total; ++filled) {
            const int v = decoder->next();
            if (v < 0) {
                ended = true;
                break;
            }
            pixels[filled] = static_cast<std::uint8_t>(v);
        }
    } else {
        const auto w = static_cast<std::size_t>(width);
        for (const int y : gifRowOrder(height, true)) {
            std::uint8_t* row = pixels + static_cast<std::size_t>(y) * w;
            for (std::size_t x = 0; x < w; ++x) {
                const int v = decoder->next();
                if (v < 0) {
                    ended = true;
                    break;
                }
                row[x] = static_cast<std::uint8_t>(v);
                ++filled;
            }
            if (ended) break;
        }
    }
    // Leave the reader after the image data, whatever the image did not use.
    if (!ended) decoder->skipRest();
    return filled;
}

} // namespace vextral::codecs
