#include "codecs/TiffLzw.h"

#include <algorithm>
#include <cstring>

namespace vextral::codecs {

namespace {

constexpr int kClear = 256;
constexpr int kEndOfInformation = 257;
constexpr int kFirstFree = 258;
constexpr int kTableSize = 4096;

void resetTable(TiffLzwState& s)
{
    s.nextCode = kFirstFree;
    s.codeWidth = 9;
}

void initialiseTable(TiffLzwState& s)
{
    for (int i = 0; i < 256; ++i) {
        TiffLzwState::Entry& e = s.table[static_cast<std::size_t>(i)];
        e.prefix = 0;
        e.length = 1;
        e.suffix = e.first = static_cast<std::uint8_t>(i);
    }
    s.table[kClear] = {};
    s.table[kEndOfInformation] = {};
    resetTable(s);
}

// The next code of the current width, most significant bit first; -1 past
// the end of the input.
int readCode(TiffLzwState& s)
{
    const auto width = static_cast<std::size_t>(s.codeWidth);
    if (s.bitPosition + width > s.inputSize * 8) return -1;
    std::uint32_t window = 0;
    std::size_t byte = s.bitPosition >> 3;
    // Three bytes always cover a code of up to 12 bits from any bit offset.
    for (int i = 0; i < 3; ++i, ++byte) window = window << 8 | (byte < s.inputSize ? s.input[byte] : 0u);
    const std::size_t shift = 24 - (s.bitPosition & 7) - width;
    s.bitPosition += width;
    return static_cast<int>((window >> shift) & ((1u << width) - 1));
}

// The length of a code's string: entries not made since the last reset, and
// the two control codes, have none.
std::size_t stringLength(const TiffLzwState& s, int code)
{
    if (code < 0 || code >= s.nextCode) return 0;
    return s.table[static_cast<std::size_t>(code)].length;
}

void append(TiffLzwState& s, int code)
{
    const std::size_t length = stringLength(s, code);
    if (length == 0) return;
    if (s.buffer.size() < s.held + length) s.buffer.resize(s.held + length);
    // Walk the prefixes back from the last byte.
    std::uint8_t* out = s.buffer.data() + s.held;
    auto e = static_cast<std::size_t>(code);
    for (std::size_t i = length; i-- > 0;) {
        out[i] = s.table[e].suffix;
        e = s.table[e].prefix;
    }
    s.held += length;
}

// Adds the string of prev followed by byte; past 4095 entries nothing is added.
void addEntry(TiffLzwState& s, int prev, std::uint8_t byte)
{
    if (s.nextCode >= kTableSize) return;
    TiffLzwState::Entry& e = s.table[static_cast<std::size_t>(s.nextCode)];
    const std::size_t prevLength = stringLength(s, prev);
    e.suffix = byte;
    if (prevLength > 0) {
        e.prefix = static_cast<std::uint16_t>(prev);
        e.length = static_cast<std::uint16_t>(prevLength + 1);
        e.first = s.table[static_cast<std::size_t>(prev)].first;
    } else {
        e.prefix = 0;
        e.length = 1;
        e.first = byte;
    }
    ++s.nextCode;
    // Early change: the width grows one entry before the code needs it.
    if (s.nextCode == 511)
        s.codeWidth = 10;
    else if (s.nextCode == 1023)
        s.codeWidth = 11;
    else if (s.nextCode == 2047)
        s.codeWidth = 12;
}

std::uint8_t firstByte(const TiffLzwState& s, int code)
{
    return stringLength(s, code) > 0 ? s.table[static_cast<std::size_t>(code)].first : 0;
}

} // namespace

const std::uint8_t* decodeTiffLzw(const std::uint8_t* input, std::size_t inputSize, std::size_t rowLength,
                                  std::unique_ptr<TiffLzwState>& state)
{
    if (input == nullptr || inputSize == 0) {
        state.reset();
        return nullptr;
    }
    if (!state) {
        state = std::make_unique<TiffLzwState>();
        state->input = input;
        state->inputSize = inputSize;
        initialiseTable(*state);
    }
    TiffLzwState& s = *state;
    // Keep what the previous call decoded beyond its row.
    if (s.held > s.lastRowLength) {
        std::memmove(s.buffer.data(), s.buffer.data() + s.lastRowLength, s.held - s.lastRowLength);
        s.held -= s.lastRowLength;
    } else {
        s.held = 0;
    }
    s.lastRowLength = rowLength;
    while (s.held < rowLength && !s.ended) {
        int code = readCode(s);
        if (code < 0) {
            s.ended = true;
            break;
        }
        if (s.previous == -1) s.previous = code;
        if (code == kClear) {
            resetTable(s);
            code = readCode(s);
            if (code < 0 || code == kEndOfInformation) {
                s.ended = true;
                break;
            }
            append(s, code);
            s.previous = code;
            continue;
        }
        if (code == kEndOfInformation) {
            s.ended = true;
            break;
        }
        if (code < s.nextCode) {
            append(s, code);
            addEntry(s, s.previous, firstByte(s, code));
        } else {
            // The code being defined: the previous string plus its own first byte.
            const int made = s.nextCode;
            addEntry(s, s.previous, firstByte(s, s.previous));
            append(s, made);
        }
        s.previous = code;
    }
    if (s.buffer.size() < std::max(rowLength, s.held)) s.buffer.resize(std::max(rowLength, s.held));
    // A strip that ended early reads as zeros.
    if (s.held < rowLength)
        std::fill(s.buffer.begin() + static_cast<std::ptrdiff_t>(s.held),
                  s.buffer.begin() + static_cast<std::ptrdiff_t>(rowLength), 0);
    return s.buffer.data();
}

} // namespace vextral::codecs
