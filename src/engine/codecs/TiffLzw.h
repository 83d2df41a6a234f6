#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace vextral::codecs {

// The decoding state of one TIFF strip: where the compressed input is read,
// the rows decoded so far and the string table.
struct TiffLzwState {
    // A table entry: its string is the prefix entry's string plus suffix.
    struct Entry {
        std::uint16_t prefix = 0;
        std::uint16_t length = 0; // 0 for Clear, EndOfInformation and entries not yet made
        std::uint8_t suffix = 0;
        std::uint8_t first = 0; // first byte of the string
    };

    const std::uint8_t* input = nullptr;
    std::size_t inputSize = 0;
    std::size_t bitPosition = 0;
    std::size_t lastRowLength = 0; // bytes the previous call returned
    std::vector<std::uint8_t> buffer;
    std::size_t held = 0; // decoded bytes in buffer
    int previous = -1;
    int codeWidth = 9;
    int nextCode = 258;
    bool ended = false; // EndOfInformation met or the input used up
    std::array<Entry, 4096> table {};
};

// TIFF 6.0 LZW decoding (codes most significant bit first, code width grown
// one entry early), a row at a time. The first call for a strip (state empty)
// creates the state for input and returns the first rowLength decoded bytes;
// each later call returns the next rowLength bytes of the same input (the
// input passed then is not read, so the first one must stay alive); a call
// with no input (null or size 0) releases the state and returns null. The
// result points at rowLength bytes that stay valid until the next call; a
// strip that ends early gives zero bytes for what it lacks.
const std::uint8_t* decodeTiffLzw(const std::uint8_t* input, std::size_t inputSize, std::size_t rowLength,
                                  std::unique_ptr<TiffLzwState>& state);

} // namespace vextral::codecs
