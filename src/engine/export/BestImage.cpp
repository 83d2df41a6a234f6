#include "export/BestImage.h"

#include <sys/stat.h>

#include <algorithm>
#include <mutex>

namespace vextral::exporting {

std::vector<int> bestImageOrder(const std::vector<platform::IconImageEntry>& images, int width, int height)
{
    std::vector<int> order;
    for (std::size_t k = 0; k < images.size(); ++k) {
        if (images[k].info) order.push_back(static_cast<int>(k));
    }
    auto fits = [&](const codecs::ImageInfo& info) { return info.width >= width && info.height >= height; };
    auto area = [](const codecs::ImageInfo& info) { return static_cast<long long>(info.width) * info.height; };
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        const codecs::ImageInfo& ia = *images[static_cast<std::size_t>(a)].info;
        const codecs::ImageInfo& ib = *images[static_cast<std::size_t>(b)].info;
        if (fits(ia) != fits(ib)) return fits(ia);
        if (area(ia) != area(ib)) return fits(ia) ? area(ia) < area(ib) : area(ia) > area(ib);
        return ia.bits > ib.bits;
    });
    return order;
}

namespace {

// While a BestImageRun lives, the file that was drawn from last, kept open
// while it stays the same file (same device, inode, size and modification
// time): Save all, the gallery and printing draw the icons of one file one
// after another, and they share that source's decoding budget and the
// images it has already decoded, so a file of thousands of icons cannot make
// each of them start afresh.
struct LastSource {
    std::mutex mutex;
    int runs = 0;
    std::string path;
    struct stat identity {};
    std::optional<platform::IconSource> source;
};

bool sameFile(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_size == b.st_size &&
           a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec;
}

const platform::IconSource& sourceFor(LastSource& last, const std::string& path)
{
    struct stat now {};
    const bool known = ::stat(path.c_str(), &now) == 0;
    if (!known || !last.source || last.path != path || !sameFile(now, last.identity)) {
        last.source.reset();
        last.source.emplace(platform::reopenIconSource(path));
        last.path = path;
        last.identity = now;
        if (!known) {
            // Nothing to recognise it by: not kept for the next call.
            last.path.clear();
        }
    }
    return *last.source;
}

LastSource& lastSource()
{
    static LastSource last;
    return last;
}

// The images of icon index in the order wanted, each distinct image once:
// entries naming one image (a crafted icon file may have 65,535 of them) are
// tried as one, and the first image that decodes is drawn. The source
// remembers the images it found broken, and charges every decoding to its
// budget.
std::optional<codecs::IconPicture> drawBest(const platform::IconSource& source, int index, int width, int height)
{
    if (index < 0 || index >= source.count()) return std::nullopt;
    const std::vector<platform::IconImageEntry> images = source.images(index);
    std::vector<bool> tried;
    for (const int entry : bestImageOrder(images, width, height)) {
        const auto image = static_cast<std::size_t>(images[static_cast<std::size_t>(entry)].image);
        if (images[static_cast<std::size_t>(entry)].image >= 0) {
            if (image >= tried.size()) tried.resize(image + 1);
            if (tried[image]) continue;
            tried[image] = true;
        }
        if (const auto picture = source.imagePicture(index, entry)) return scaleIconPicture(*picture, width, height);
    }
    if (const auto icon = source.icon(index)) return scaleIconPicture(codecs::pictureOfIcon(*icon), width, height);
    return std::nullopt;
}

} // namespace

BestImageRun::BestImageRun()
{
    LastSource& last = lastSource();
    const std::lock_guard lock(last.mutex);
    ++last.runs;
}

BestImageRun::~BestImageRun()
{
    LastSource& last = lastSource();
    const std::lock_guard lock(last.mutex);
    if (--last.runs == 0) {
        last.source.reset();
        last.path.clear();
    }
}

std::optional<codecs::IconPicture> renderBestImage(const std::string& path, int index, int width, int height)
{
    if (width < 1 || height < 1 || width > codecs::kMaxPictureSide || height > codecs::kMaxPictureSide) {
        return std::nullopt;
    }
    LastSource& last = lastSource();
    std::unique_lock lock(last.mutex);
    if (last.runs == 0) {
        lock.unlock();
        return drawBest(platform::reopenIconSource(path), index, width, height);
    }
    return drawBest(sourceFor(last, path), index, width, height);
}

std::optional<codecs::IconPicture> renderBestImage(const platform::IconSource& source, int index, int width, int height)
{
    if (width < 1 || height < 1 || width > codecs::kMaxPictureSide || height > codecs::kMaxPictureSide) {
        return std::nullopt;
    }
    return drawBest(source, index, width, height);
}

codecs::IconPicture renderCatalogueBestImage(const IconCatalogue& catalogue, int i, int width, int height)
{
    const IconRecord& record = catalogue.record(i);
    if (auto picture = renderBestImage(record.sourceFile, record.iconIndex, width, height)) return std::move(*picture);
    return scaleIconPicture(codecs::pictureOfIcon(catalogue.image(i)), width, height);
}

void drawIconPicture(codecs::ImageBuffer& buffer, const codecs::IconPicture& picture)
{
    codecs::Picture& out = buffer.picture();
    out = codecs::Picture::make(picture.width, picture.height, 24);
    const std::uint32_t background = settings::colourToRgb(buffer.background());
    for (int y = 0; y < out.height; ++y) {
        for (int x = 0; x < out.width; ++x)
            out.setPixel(x, y, codecs::Bgr::fromRgb(picture.drawnOver(x, y, background)));
    }
    if (buffer.keepsTransparency()) out.argb = picture.argb(background);
}

void drawBestImage(codecs::ImageBuffer& buffer, const IconCatalogue& catalogue, int i, int width, int height)
{
    if (width < 0 && height < 0) width = height = Icon::kSize;
    if (width < 0) width = height;
    if (height < 0) height = width;
    codecs::checkPictureSize(width, height);
    if (width == 0 || height == 0) {
        buffer.picture() = codecs::Picture::make(width, height, 24);
        return;
    }
    drawIconPicture(buffer, renderCatalogueBestImage(catalogue, i, width, height));
}

} // namespace vextral::exporting
