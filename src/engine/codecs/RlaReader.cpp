#include "codecs/Readers.h"

#include <algorithm>
#include <string>
#include <vector>

// Alias/Wavefront RLA files: a 740-byte header (big-endian), a table with the
// file offset of every scanline, bottom scanline first, then the scanlines.
// A scanline holds each channel in turn (colour channels, matte channels,
// auxiliary channels), each as a 16-bit byte count and run-length data: a
// count byte c >= 0 repeats the next byte c + 1 times, c < 0 is followed by
// -c literal bytes. Channels of 8 bits are read. The colour of a picture
// with a matte channel is premultiplied by it: over white it gains the part
// of white that the matte lets through.

namespace vextral::codecs {

namespace {

constexpr std::size_t kHeaderSize = 740;
// Where the header keeps the fields read here.
constexpr std::size_t kActiveWindow = 8; // left, right, bottom, top
constexpr std::size_t kChannels = 20;    // colour, matte, auxiliary channel counts
constexpr std::size_t kRevision = 26;    // -2 for the current layout
constexpr std::size_t kBitsPerChannel = 658;
constexpr std::size_t kMatteBits = 662;

int be16(std::span<const std::uint8_t> b, std::size_t at)
{
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(b[at] << 8 | b[at + 1]));
}

std::uint32_t be32(std::span<const std::uint8_t> b, std::size_t at)
{
    return static_cast<std::uint32_t>(b[at]) << 24 | static_cast<std::uint32_t>(b[at + 1]) << 16 |
           static_cast<std::uint32_t>(b[at + 2]) << 8 | b[at + 3];
}

// Decodes one channel's run-length bytes into width values; what the data
// does not reach stays 0.
void decodeChannel(std::span<const std::uint8_t> data, std::vector<std::uint8_t>& out)
{
    std::fill(out.begin(), out.end(), 0);
    std::size_t x = 0, at = 0;
    while (at < data.size() && x < out.size()) {
        const auto count = static_cast<std::int8_t>(data[at++]);
        if (count >= 0) {
            if (at >= data.size()) break;
            const std::uint8_t value = data[at++];
            for (int i = 0; i <= count && x < out.size(); ++i) out[x++] = value;
        } else {
            for (int i = 0; i < -count && at < data.size() && x < out.size(); ++i) out[x++] = data[at++];
        }
    }
}

} // namespace

Picture readRlaPicture(std::span<const std::uint8_t> bytes, const ReaderLimits& limits)
{
    if (bytes.size() < kHeaderSize) throw DamagedPicture("the header is cut short");
    const int left = be16(bytes, kActiveWindow), right = be16(bytes, kActiveWindow + 2);
    const int bottom = be16(bytes, kActiveWindow + 4), top = be16(bytes, kActiveWindow + 6);
    if (right < left || top < bottom) throw DamagedPicture("an empty window");
    const long long width = static_cast<long long>(right) - left + 1;
    const long long height = static_cast<long long>(top) - bottom + 1;
    int colours = be16(bytes, kChannels);
    const int mattes = be16(bytes, kChannels + 2);
    const int auxiliaries = be16(bytes, kChannels + 4);
    if (colours == 0) colours = 3;
    if (colours < 0 || colours > 3 || mattes < 0 || mattes > 3 || auxiliaries < 0 || auxiliaries > 16) {
        throw DamagedPicture("unsupported channel counts");
    }
    // Older files have no depth fields: their channels are 8 bits.
    if (be16(bytes, kRevision) == -2) {
        const int bits = be16(bytes, kBitsPerChannel), matteBits = be16(bytes, kMatteBits);
        if ((bits != 0 && bits != 8) || (mattes > 0 && matteBits != 0 && matteBits != 8)) {
            throw DamagedPicture(std::to_string(bits) + " bits per channel are not supported");
        }
    }
    checkPictureSize(width, height, limits.pictureSide);
    if (kHeaderSize + 4 * static_cast<std::uint64_t>(height) > bytes.size()) {
        throw DamagedPicture("the scanline table is cut short");
    }

    Picture picture = Picture::make(static_cast<int>(width), static_cast<int>(height));
    const auto w = static_cast<std::size_t>(width);
    std::vector<std::vector<std::uint8_t>> channels(static_cast<std::size_t>(colours + mattes),
                                                    std::vector<std::uint8_t>(w));
    for (long long scanline = 0; scanline < height; ++scanline) {
        std::size_t at = be32(bytes, kHeaderSize + 4 * static_cast<std::size_t>(scanline));
        for (auto& channel : channels) {
            if (at > bytes.size() || bytes.size() - at < 2) throw DamagedPicture("a scanline lies outside the file");
            const auto length = static_cast<std::size_t>(static_cast<std::uint16_t>(be16(bytes, at)));
            at += 2;
            if (length > bytes.size() - at) throw DamagedPicture("a scanline is cut short");
            decodeChannel(bytes.subspan(at, length), channel);
            at += length;
        }
        std::uint8_t* out = picture.row(static_cast<int>(height - 1 - scanline));
        const std::vector<std::uint8_t>& red = channels[0];
        const std::vector<std::uint8_t>& green = channels[colours >= 3 ? 1 : 0];
        const std::vector<std::uint8_t>& blue = channels[colours >= 3 ? 2 : 0];
        for (std::size_t x = 0; x < w; ++x, out += 3) {
            const unsigned through = mattes > 0 ? 255u - channels[static_cast<std::size_t>(colours)][x] : 0;
            out[0] = static_cast<std::uint8_t>(std::min(255u, blue[x] + through));
            out[1] = static_cast<std::uint8_t>(std::min(255u, green[x] + through));
            out[2] = static_cast<std::uint8_t>(std::min(255u, red[x] + through));
        }
    }
    return picture;
}

} // namespace vextral::codecs
