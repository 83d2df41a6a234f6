#pragma once

#include <cstddef>
#include <cstdint>

namespace vextral {

// The most bytes a pixel takes in ImageMagick's pixel cache (16-bit red,
// green, blue and alpha, and the black of CMYK pictures in the index
// channel); the ImageMagick plugin (src/plugins/magick/) checks it against
// the library it is built with.
inline constexpr std::uint64_t kMagickPixelBytes = 10;
// The layers one Photoshop document may have (Photoshop's own bound).
inline constexpr std::uint64_t kPhotoshopLayers = 8000;

// Every bound that the readers of outside data put on what a file, a
// resource or a reply may make them do. Each reader takes one (a parameter
// defaulting to these values, or a copy held by the reader object); tests
// lower a field to reach a limit with a small input. The texts a reader gives
// when it refuses stay the same whatever the values.
struct ReaderLimits {
    // ---- pictures (the converter's readers and the GIF reader)

    // The longest side of a picture that is read. A true-colour picture of
    // 16384 x 16384 already takes 768 MiB; it is also the side of every
    // picture the program makes (codecs::kMaxPictureSide).
    int pictureSide = 16384;
    // Files larger than this are refused before they are read: the readers
    // hold the whole file in memory.
    std::uint64_t pictureFileBytes = std::uint64_t {1} << 30;
    // PNG text chunks and colour profiles larger than this are refused;
    // real ones are a few kilobytes.
    std::size_t pngChunkBytes = 8u << 20;
    // Progressive JPEG files refine the picture scan by scan; real ones have
    // a dozen, a hostile one could ask for millions of passes.
    int jpegScans = 1000;
    // The coefficient buffers of progressive and multi-scan JPEG files.
    long jpegDecoderMemory = 1L << 30;
    // The JPEG bounds below count only a file's scan data (its entropy-coded
    // bytes): comments and application segments carry no pixels, so padding
    // a file with them buys nothing.
    // JPEG pictures up to this many pixels are read whatever their file's
    // size; above it a file must hold a byte of scan data for every
    // jpegPixelsPerByte pixels (an 8 x 8 block of a real file costs at least
    // a bit or so).
    std::uint64_t jpegPixelsAlwaysRead = std::uint64_t {1} << 20;
    std::uint64_t jpegPixelsPerByte = 4096;
    // A progressive or multi-scan JPEG file keeps every block's 128 bytes of
    // coefficients until its last scan. Up to jpegCoefficientBytesAlwaysRead
    // they are kept whatever the file's size; above it the file needs a byte
    // of scan data for every jpegCoefficientBytesPerByte of them: the first
    // scan alone costs a real file a bit a block (1024 bytes of coefficients
    // a byte), and the factor two leaves room for arithmetic coding.
    std::uint64_t jpegCoefficientBytesAlwaysRead = std::uint64_t {64} << 20;
    std::uint64_t jpegCoefficientBytesPerByte = 2048;
    // Each scan of such a file goes over the blocks of its components; all
    // the scans together may go over jpegScanBlocksAlwaysRead blocks (a
    // megapixel picture's 16384 blocks, jpegScans times) plus
    // jpegScanBlocksPerByte blocks for every byte of scan data. A real file
    // pays at least two bits a block for its two DC scans, so its ten or so
    // scans come to 40 blocks a byte at the very most (a flat grey picture;
    // photographs to far fewer). A crafted one repeating scans that say
    // "nothing here" for millions of blocks in a few hundred bytes each
    // would make its small file cost a minute of decoding.
    std::uint64_t jpegScanBlocksAlwaysRead = std::uint64_t {16} << 20;
    std::uint64_t jpegScanBlocksPerByte = 128;
    // ImageMagick's pixel cache: up to magickMemoryBytes in memory, beyond
    // that in a memory-mapped file of the temporary folder, up to
    // magickDiskBytes in all. The disk bound holds the largest picture that
    // may be read twice over (pictureSide squared at kMagickPixelBytes, 2.5
    // GiB): a colour space change or a Photoshop file's layers beside its
    // merged picture hold a second cache. These values replace the system
    // policy's own (see MagickReader.cpp).
    std::uint64_t magickMemoryBytes = std::uint64_t {1} << 30;
    std::uint64_t magickDiskBytes = 2 * kMagickPixelBytes * 16384 * 16384;
    // Images ImageMagick reads from one file (those after the first are
    // never kept): a Photoshop file gives its merged picture and one image a
    // layer, and Photoshop itself makes at most kPhotoshopLayers layers.
    std::uint64_t magickImages = kPhotoshopLayers + 1;
    // The seconds one ImageMagick read may take. Its time does not follow
    // from the file's size (a 14 KB metafile of large rectangles draws for
    // minutes) and the desktop program waits for it, so a read past this is
    // stopped and refused; the largest picture read here (16384 x 16384)
    // takes a few seconds.
    int magickSeconds = 10;

    // ---- images of icons and bitmap files

    // The widest and tallest DIB (icon image or .bmp file); the most the
    // header's fields can say for a real one.
    int dibSide = 65535;
    // Run-length bitmaps are decoded whole: at most this many pixels (64 MiB
    // of colours).
    std::uint64_t rlePixels = 16u << 20;
    // The largest PNG an icon image may be, in either direction: a PNG in an
    // icon is decoded whole.
    int iconPngSide = 4096;
    // Text chunks and profiles of a PNG in an icon.
    std::size_t iconPngChunkBytes = 4u << 20;
    // The most pixels an icon image may have to be decoded at its own size
    // (the best-image renderer keeps it whole, with its alpha).
    long long fullImagePixels = 2048LL * 2048LL;

    // ---- icon sources (the decoding budget of one open file)

    // The PNG images tried for one icon may together hold this many pixels:
    // as many as the largest one an icon may have (iconPngSide squared).
    std::uint64_t iconPngPixelsPerIcon = std::uint64_t {4096} * 4096;
    // Decoded images a source keeps (about 5 KB each) so that icons naming
    // one image decode it once.
    std::size_t decodedImagesKept = 1024;
    // One budget for all the decoding a source does over its life (its icons
    // at 32 x 32, its images at their own size for the best image, the
    // tooltip and the thumbnailer): every image decoded is charged its
    // pixels and its bytes, found good or broken, and once either part is
    // spent the images left are skipped (an icon keeps the image it already
    // has). The bytes: this many times the file's bytes plus the allowance,
    // so a crafted file whose icons name overlapping ranges runs dry instead
    // of decoding them over and over.
    std::uint64_t decodeBytesPerFileByte = 8;
    std::uint64_t decodeAllowanceBytes = std::uint64_t {64} << 20;
    // The pixels: this many for each byte of the file plus the allowance. A
    // stored pixel takes at least an eighth of a byte in a DIB, and even a
    // flat PNG icon a good part of one, but a 2 KB PNG may claim 4096 x 4096
    // (8,000 pixels a byte): thousands of icons naming such PNGs buy a few
    // decodings. The allowance is one image of the largest an icon may have
    // (iconPngSide squared); the share of the file's bytes lets every real
    // file decode whole: the one that decodes most, Wine's shell32.dll (184
    // icons, 14.8 MB), has 14 million pixels in all its images, under one
    // a byte.
    std::uint64_t decodePixelsPerFileByte = 64;
    std::uint64_t decodePixelsAllowance = std::uint64_t {4096} * 4096;
    // Entries read from one resource directory of a PE file, and resources
    // from the resource table of an NE file: the formats' own 16-bit counts.
    std::uint32_t peDirectoryEntries = 1u << 16;
    std::uint32_t neResources = 1u << 16;
    // Entries of a compiled resource file (.res) walked: a program's own
    // file has dozens to a few thousand; each takes at least 32 bytes, and a
    // file of 4 GiB that is all hole would hold a hundred million.
    std::uint32_t resEntries = 1u << 16;
    // Chunks of a RIFF file (an animated cursor) looked at before its first
    // frame, those inside lists counted: a real one has a handful, a file of
    // 4 GiB that is all hole hundreds of millions of empty ones.
    std::uint64_t riffChunks = 4096;
    // Chunks of an Apple icon file (.icns) walked: a real one has a dozen or
    // two (each size, its mask, a table of contents, a name), a crafted one
    // could be millions of empty ones, each looked at when it is opened.
    std::uint64_t icnsChunks = 1024;

    // ---- settings

    // The most of an INI file that is read; a real Option.ini is a few
    // kilobytes.
    std::size_t profileFileBytes = 16u << 20;

    // ---- the MIME table

    // A type or an extension longer than this is passed over (a type must
    // fit a header line).
    std::size_t mimeWord = 255;
    // Lines longer than this are passed over.
    std::size_t mimeLine = 4096;
    // Extensions kept, over both files.
    std::size_t mimeEntries = 100000;
    // The most of each mime.types file that is read.
    std::size_t mimeFileBytes = 4u << 20;

    // ---- replies of servers

    // An HTTP header line, the whole header, and the Location kept from it.
    std::size_t httpHeaderLine = 8 * 1024;
    std::size_t httpHeaderBytes = 1024 * 1024;
    std::size_t httpLocation = 256;
    // The body of an HTTP reply.
    std::size_t httpBodyBytes = 1024 * 1024;
    // An SMTP reply line and a whole (multi-line) reply.
    std::size_t smtpLine = 4096;
    std::size_t smtpReply = 64 * 1024;
};

} // namespace vextral
