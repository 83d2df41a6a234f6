#include "codecs/Writers.h"

#include "core/Bytes.h"
#include "core/Error.h"

#include <cmath>
#include <optional>

// Little-endian TIFF with one uncompressed RGB image (RGBA with unassociated
// alpha for a picture that keeps its transparency) in a single strip. The
// file starts with 8 placeholder bytes; each tag value longer than 4 bytes is
// written at the end of the file as its entry is made, the pixel data follows
// the strip-offset entry, and the directory comes last (at an even offset);
// finally the header is written with the directory's offset.

namespace vextral::codecs {

namespace {

enum : std::uint16_t { kAscii = 2, kShort = 3, kLong = 4, kRational = 5 };

struct Entry {
    std::uint16_t tag, type;
    std::uint32_t count;
    std::uint8_t value[4];
};

class Directory {
public:
    explicit Directory(Sink& sink) : sink_(sink) {}

    // An entry whose value bytes (little-endian already) fit in 4 bytes stay in
    // the entry; longer ones go to the end of the file now.
    void add(std::uint16_t tag, std::uint16_t type, std::uint32_t count, const std::vector<std::uint8_t>& bytes)
    {
        Entry e {tag, type, count, {0, 0, 0, 0}};
        if (bytes.size() <= 4) {
            std::copy(bytes.begin(), bytes.end(), e.value);
        } else {
            put32(e.value, static_cast<std::uint32_t>(sink_.position()));
            sink_.write(bytes);
        }
        entries_.push_back(e);
    }
    void addShort(std::uint16_t tag, std::uint16_t v)
    {
        add(tag, kShort, 1, {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8)});
    }
    void addLong(std::uint16_t tag, std::uint32_t v) { add(tag, kLong, 1, le32(v)); }
    void addRational(std::uint16_t tag, std::uint32_t numerator, std::uint32_t denominator)
    {
        std::vector<std::uint8_t> bytes = le32(numerator);
        const std::vector<std::uint8_t> d = le32(denominator);
        bytes.insert(bytes.end(), d.begin(), d.end());
        add(tag, kRational, 1, bytes);
    }
    void addText(std::uint16_t tag, const std::string& text)
    {
        if (text.empty()) return;
        std::vector<std::uint8_t> bytes(text.begin(), text.end());
        bytes.push_back(0);
        add(tag, kAscii, static_cast<std::uint32_t>(bytes.size()), bytes);
    }

    // Writes the directory at the next even position and returns that offset.
    std::uint32_t write()
    {
        if (sink_.position() & 1) sink_.u8(0);
        const auto offset = static_cast<std::uint32_t>(sink_.position());
        std::vector<std::uint8_t> out;
        out.reserve(2 + 12 * entries_.size() + 4);
        out.push_back(static_cast<std::uint8_t>(entries_.size()));
        out.push_back(static_cast<std::uint8_t>(entries_.size() >> 8));
        for (const Entry& e : entries_) {
            out.insert(out.end(), {static_cast<std::uint8_t>(e.tag), static_cast<std::uint8_t>(e.tag >> 8),
                                   static_cast<std::uint8_t>(e.type), static_cast<std::uint8_t>(e.type >> 8)});
            const std::vector<std::uint8_t> count = le32(e.count);
            out.insert(out.end(), count.begin(), count.end());
            out.insert(out.end(), e.value, e.value + 4);
        }
        out.insert(out.end(), 4, 0); // no next directory
        sink_.write(out);
        return offset;
    }

    static std::vector<std::uint8_t> le32(std::uint32_t v)
    {
        return {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8), static_cast<std::uint8_t>(v >> 16),
                static_cast<std::uint8_t>(v >> 24)};
    }

private:
    static void put32(std::uint8_t* at, std::uint32_t v)
    {
        for (int i = 0; i < 4; ++i) at[i] = static_cast<std::uint8_t>(v >> (8 * i));
    }

    Sink& sink_;
    std::vector<Entry> entries_;
};

// A position in inches as ten-thousandths.
std::uint32_t tenThousandths(std::int32_t inches)
{
    return static_cast<std::uint32_t>(static_cast<std::int64_t>(std::nearbyint(inches * 10000.0)));
}

} // namespace

void writeTiff(ImageBuffer& buffer, Sink& sink)
{
    beginWrite(buffer, sink);
    const IOParams& params = buffer.params();
    std::optional<Picture> converted;
    if (buffer.picture().bits != 24) converted = to24Bit(buffer.picture());
    const Picture& picture = converted ? *converted : buffer.picture();
    const bool alpha = buffer.picture().keepsTransparency();
    const std::size_t samples = alpha ? 4 : 3;
    const std::size_t rowBytes = static_cast<std::size_t>(picture.width) * samples;
    const std::uint64_t dataBytes = static_cast<std::uint64_t>(rowBytes) * static_cast<std::uint64_t>(picture.height);
    // Offsets are 32-bit: the pixels, the tag values and the directory must fit.
    const std::uint64_t texts =
        params.tiffDocumentName.size() + params.tiffDescription.size() + params.tiffPageName.size();
    if (dataBytes + texts + 4096 > 0xFFFFFFFFu) throw Error("The picture is too large for a TIFF file: " + sink.name());

    sink.write(std::vector<std::uint8_t>(8, 0));
    Directory dir(sink);
    dir.addLong(256, static_cast<std::uint32_t>(picture.width));
    dir.addLong(257, static_cast<std::uint32_t>(picture.height));
    std::vector<std::uint8_t> bits;
    for (std::size_t i = 0; i < samples; ++i) {
        const std::vector<std::uint8_t> eight = Directory::le32(8);
        bits.insert(bits.end(), eight.begin(), eight.end());
    }
    dir.add(258, kLong, static_cast<std::uint32_t>(samples), bits);
    dir.addShort(259, 1); // no compression
    dir.addShort(262, 2); // RGB
    dir.addText(269, params.tiffDocumentName);
    dir.addText(270, params.tiffDescription);
    dir.addLong(273, static_cast<std::uint32_t>(sink.position()));

    std::vector<std::uint8_t> row(rowBytes);
    for (int y = 0; y < picture.height; ++y) {
        // A stopped writer ends the file after the rows, with the header still blank.
        if (buffer.progress && !buffer.progress(static_cast<int>(100LL * y / picture.height))) return;
        if (alpha) {
            const std::uint32_t* from = buffer.picture().argb.data() + buffer.picture().at(0, y);
            for (std::size_t x = 0; x < static_cast<std::size_t>(picture.width); ++x) {
                const std::uint32_t c = from[x];
                row[4 * x] = static_cast<std::uint8_t>(c >> 16);
                row[4 * x + 1] = static_cast<std::uint8_t>(c >> 8);
                row[4 * x + 2] = static_cast<std::uint8_t>(c);
                row[4 * x + 3] = static_cast<std::uint8_t>(c >> 24);
            }
        } else {
            const std::uint8_t* p = picture.row(y);
            for (std::size_t i = 0; i < rowBytes; i += 3) {
                row[i] = p[i + 2];
                row[i + 1] = p[i + 1];
                row[i + 2] = p[i];
            }
        }
        sink.write(row);
    }

    dir.addShort(277, static_cast<std::uint16_t>(samples));
    dir.addLong(278, static_cast<std::uint32_t>(picture.height));
    dir.addLong(279, static_cast<std::uint32_t>(dataBytes));
    dir.addRational(282, static_cast<std::uint32_t>(params.resolutionX), 1);
    dir.addRational(283, static_cast<std::uint32_t>(params.resolutionY), 1);
    dir.addText(285, params.tiffPageName);
    dir.addRational(286, tenThousandths(params.tiffLeft), 10000);
    dir.addRational(287, tenThousandths(params.tiffTop), 10000);
    dir.addShort(296, 2);            // inches
    if (alpha) dir.addShort(338, 2); // the fourth sample is unassociated alpha
    const std::uint32_t offset = dir.write();

    sink.seek(0);
    sink.write(std::vector<std::uint8_t> {'I', 'I', 42, 0});
    sink.le32(offset);
}

} // namespace vextral::codecs
