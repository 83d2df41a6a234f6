#pragma once

#include "core/Icon.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace vextral {

namespace platform {
class IconSource;
}

// Where a harvested icon came from.
struct IconRecord {
    std::int32_t iconIndex = 0; // the icon's index within its file
    std::string sourceFile;     // full path of the file
    bool cursor = false;        // a cursor (of a cursor group, file or animation), not an icon
};

// One image an icon lists, as its file describes it: what filtering, sorting
// and the details of the icon list read without opening the file again.
struct IconImageSummary {
    std::uint16_t width = 0;
    std::uint16_t height = 0;
    std::uint16_t bits = 0;
    bool png = false;
    // False when the image itself cannot be read; the sizes are then the
    // directory entry's.
    bool readable = true;

    bool operator==(const IconImageSummary&) const = default;
};

// What the catalogue keeps of the images icon index of source lists.
std::vector<IconImageSummary> imageSummaries(const platform::IconSource& source, int index);

// The harvested icons: three parallel structures sharing one index in harvest
// order, as every export, print and desktop feature addresses them:
//   image i   the icon drawn at 32 x 32, with the summaries of its images,
//   item i    the list entry the user sees and selects (it shows image i),
//   record i  the icon's source file and index.
// Clean and a run's start clear items and images, so every feature sees no
// icon; records beyond the new run's count keep what an earlier run left in
// them, addressed by nothing, until release() drops everything.
//
// A hundred thousand icons must fit in little memory, so the pictures are
// kept compressed (about 1.5 KB an icon with its record and summaries, in
// large blocks that go back to the system when released), or, for a caller
// that reads them rarely, not kept at all: image() then reads the icon from
// its file again.
class IconCatalogue {
public:
    enum class Pictures { Kept, ReadAgain };

    explicit IconCatalogue(Pictures pictures = Pictures::Kept);
    ~IconCatalogue();
    IconCatalogue(IconCatalogue&&) noexcept;
    IconCatalogue& operator=(IconCatalogue&&) noexcept;

    int imageCount() const { return static_cast<int>(slots_.size()); }
    int itemCount() const { return itemCount_; }
    int recordCount() const { return static_cast<int>(records_.size()); }

    // Image i as it was added. With Pictures::ReadAgain it is read from the
    // source file; an icon the file no longer holds is fully transparent.
    Icon image(int i) const;
    // The images icon i lists (at most kMostSummaries), in stored order.
    std::vector<IconImageSummary> images(int i) const;
    // How many images icon i lists, all of them counted.
    int imageListCount(int i) const;
    // The larger side of icon i's largest readable image (32 when it lists none).
    int largestSide(int i) const;
    const IconRecord& record(int i) const { return records_.at(static_cast<std::size_t>(i)); }

    // Appends icon n = itemCount(): image n, item n and record n. Returns n.
    int add(const Icon& icon, std::int32_t iconIndex, const std::string& sourceFile,
            const std::vector<IconImageSummary>& images = {}, bool cursor = false);

    void clearItems()
    {
        itemCount_ = 0;
        ++generation_;
    }
    void clearImages();
    // Drops items, images and records, and gives their memory back.
    void release();
    // Changes whenever items or images are cleared, so a view that shows them
    // knows to start over rather than append.
    int generation() const { return generation_; }

    // The bytes the catalogue holds for its icons (blocks, slots, records).
    std::size_t memoryBytes() const;

    static constexpr int kMostSummaries = 1024;

private:
    struct Slot {
        std::uint32_t block = 0;
        std::uint32_t offset = 0;
        std::uint16_t pictureBytes = 0; // compressed picture; 0 when not kept
        std::uint16_t summaries = 0;    // kept after the picture
        std::uint32_t listed = 0;       // every image listed
        std::uint16_t largest = Icon::kSize;
        bool hasAlpha = false;
    };
    std::uint8_t* reserve(std::size_t bytes, Slot& slot);
    const std::uint8_t* bytesOf(const Slot& slot) const;
    const Slot& slot(int i) const { return slots_.at(static_cast<std::size_t>(i)); }

    Pictures pictures_;
    std::vector<std::unique_ptr<std::uint8_t[]>> blocks_;
    std::size_t blockUsed_ = 0;
    std::vector<Slot> slots_;
    std::vector<IconRecord> records_;
    int itemCount_ = 0;
    int generation_ = 0;
    // The file read last when pictures are read again, kept for the next icon.
    struct ReadAgainCache;
    mutable std::unique_ptr<ReadAgainCache> readAgain_;
};

} // namespace vextral
