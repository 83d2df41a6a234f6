#pragma once

#include "codecs/IconImage.h"
#include "core/ByteSource.h"
#include "core/Icon.h"
#include "core/ReaderLimits.h"

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace vextral::platform {

struct IconResourceTable;
struct IconDirectory;

enum class IconFileKind { None, Pe, Ne, Ico, Cur, Ani, Bmp, Png, Icns, Res };

const char* iconFileKindName(IconFileKind kind);

// One image that an icon lists, as far as it could be read.
struct IconImageEntry {
    std::optional<codecs::ImageInfo> info; // from the image's own header; nothing when unreadable
    // The directory entry's own fields (a width or height of 0 there means 256).
    int entryWidth = 0;
    int entryHeight = 0;
    int entryBits = 0;
    // The distinct image the entry names (entries naming the same bytes share
    // one), numbered from 0 in the icon; -1 when it names nothing readable.
    int image = -1;
};

// What an icon source reads besides what the shell counts.
struct IconSourceOptions {
    // The cursor groups (RT_GROUP_CURSOR) of PE, NE and .res files, as further
    // icons after all the icon groups.
    bool cursors = false;
};

// The icons that one file carries, the way the Windows shell counts and draws
// them. The file type is recognised by its content, never by its name:
//
//   PE32 / PE32+      one icon per RT_GROUP_ICON entry, in directory order
//   NE (.icl, .nil)   one icon per RT_GROUP_ICON record, in table order
//   RES (compiled)    one icon per RT_GROUP_ICON entry, in file order
//   ICO, CUR          one icon made of all the directory's images
//   ANI               one icon: the first frame
//   BMP               one icon: the whole picture, opaque
//   PNG, icns         one icon of their images (see IcnsFile.h)
//   anything else     no icons
//
// The file is opened once; only the structures and images asked for are read.
// Damaged files never throw: what cannot be read is simply not there.
class IconSource {
public:
    // An unreadable or missing file gives a source with no icons whose error()
    // tells why; a readable file of another type has no icons and no error.
    // The source keeps limits for all its reading: the decoding budget, the
    // resource tables and the images' own limits. Every image decoded (for
    // icon(), for imagePicture()) is charged to one budget of pixels and
    // bytes (ReaderLimits::decodePixels*, decodeBytes*); once it is spent the
    // images left are skipped as if they could not be read.
    // With options.cursors, the cursor groups follow the icon groups: icons
    // 0..n-1 are the n icon groups, n.. the cursor groups, in their order.
    static IconSource open(const std::string& path, const ReaderLimits& limits = {},
                           const IconSourceOptions& options = {});
    static IconSource fromBytes(std::vector<std::uint8_t> bytes, const ReaderLimits& limits = {},
                                const IconSourceOptions& options = {});
    static IconSource fromSource(std::shared_ptr<const ByteSource> source, const ReaderLimits& limits = {},
                                 const IconSourceOptions& options = {});

    bool readable() const { return error_.empty(); }
    const std::string& error() const { return error_; }
    IconFileKind kind() const { return kind_; }
    // The images of the file left out, each with the reason ("ic08: JPEG 2000
    // images are not read"); for Apple icon files.
    const std::vector<std::string>& skipped() const { return skipped_; }

    // The number of icons: what ExtractIcon(path, -1) reports (and the cursor
    // groups when asked for).
    int count() const { return static_cast<int>(icons_.size()); }
    // Whether icon index is a cursor: a cursor group, or the icon of a .cur or
    // .ani file.
    bool isCursor(int index) const;
    // The icon's resource name ("APPICON", "#7"), or empty for icon files.
    std::string label(int index) const;
    // The images that icon index lists, in stored order (an image that several
    // entries name is listed for each).
    std::vector<IconImageEntry> images(int index) const;
    // Icon index drawn at 32 x 32 from its best image: what ExtractIcon(path,
    // index) gives. Nothing when the index is out of range or no image is usable.
    // Each distinct image is decoded at most once.
    std::optional<Icon> icon(int index) const;
    // Image number entry of images(index) decoded at its own size (see
    // codecs::decodeIconImageFull). Nothing for a bitmap file, an entry out of
    // range, an image that cannot be read, or one the decoding budget no
    // longer covers. An image found broken is not decoded again.
    std::optional<codecs::IconPicture> imagePicture(int index, int entry) const;
    // The icon in its original form, as the bytes of an .ico file: rebuilt from
    // the group for executables (each distinct image once, and never larger
    // than the file itself), the file's own bytes for icon files, the first
    // frame of an animated cursor. A cursor group gives a .cur file (type 2,
    // the hotspots in its entries, the DIBs without them). Empty when nothing
    // of it can be read.
    std::vector<std::uint8_t> originalIco(int index) const;

private:
    struct IconEntry {
        std::string label;
        // The directory's entries and the distinct images they name; groups
        // that name one directory share it. Empty when nothing could be read.
        std::shared_ptr<const IconDirectory> directory;
        // The stream that the image offsets refer to, when it is not the file
        // (the frame of an ANI file).
        std::shared_ptr<const ByteSource> stream;
        bool wholeStreamIsIcon = false;
        bool cursorGroup = false;
    };

    void detect();
    bool readIconDirectory(std::shared_ptr<const ByteSource> stream, IconEntry& entry) const;
    void readAni();
    void readGroups(const IconResourceTable& table);
    std::vector<std::optional<codecs::ImageInfo>> probeImages(const IconEntry& icon) const;
    // Takes bytes and pixels from the decoding budget; false, taking nothing,
    // when either is more than is left.
    bool chargeDecode(std::uint64_t bytes, std::uint64_t pixels) const;
    const ByteSource& streamOf(const IconEntry& icon) const { return icon.stream ? *icon.stream : *source_; }

    ReaderLimits limits_;
    IconSourceOptions options_;
    std::shared_ptr<const ByteSource> source_;
    std::string error_;
    IconFileKind kind_ = IconFileKind::None;
    std::vector<std::string> skipped_;
    std::vector<IconEntry> icons_;

    // Images decoded so far (or found broken), by stream and range: icons of
    // one file that name the same image decode it once. Kept small; what
    // decoding may still cost over the source's life is the budget below.
    struct DecodedKey {
        const ByteSource* stream;
        std::uint64_t offset, size;
        auto operator<=>(const DecodedKey&) const = default;
    };
    mutable std::map<DecodedKey, std::optional<Icon>> decoded_;
    // Images that could not be decoded at their own size.
    mutable std::set<DecodedKey> brokenFull_;
    mutable std::uint64_t decodeBytesLeft_ = 0;
    mutable std::uint64_t decodePixelsLeft_ = 0;
};

// ExtractIcon(path, -1) and ExtractIcon(path, index) for callers that want one answer.
int extractIconCount(const std::string& path);
std::optional<Icon> extractIcon(const std::string& path, int index);

// The file of a harvested icon opened again to save or draw that icon: its
// cursor groups counted too, so that the index the harvest recorded names
// the same icon or cursor whether or not cursors were harvested.
inline IconSource reopenIconSource(const std::string& path) { return IconSource::open(path, {}, {.cursors = true}); }

// An .ico file holding the icon as one 32 x 32 image: 32-bit with its alpha,
// or 24-bit with the AND mask.
std::vector<std::uint8_t> iconToIcoBytes(const Icon& icon);

} // namespace vextral::platform
